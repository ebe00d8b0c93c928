#include "tembrik/platform/Autostart.h"
#include "tembrik/platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tembrik::platform;

namespace {

std::string BytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tembrik-autostart-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir_);
    }
    fs::path entry(const char* name) const { return dir_ / "autostart" / (std::string(name) + ".desktop"); }

    fs::path dir_;
};

} // namespace

TEST(DesktopExec, QuotesAndEscapesThePathAsADesktopEntryRequires) {
    const struct {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/opt/tembrik/tembrik", R"("/opt/tembrik/tembrik")"},
        {"/home/a b/Tembrik/tembrik", R"("/home/a b/Tembrik/tembrik")"},
        {"/home/a \"q\"/tembrik", R"("/home/a \\"q\\"/tembrik")"},
        {"/x/100%/tembrik", R"("/x/100%%/tembrik")"},
        {"/x/$HOME/`id`/tembrik", R"("/x/\\$HOME/\\`id\\`/tembrik")"},
        {"/x/back\\slash/tembrik", R"("/x/back\\\\slash/tembrik")"},
        {"/x/it's;&|<>~*?#()/tembrik", R"("/x/it's;&|<>~*?#()/tembrik")"},
        {"/x/tab\there/tembrik", R"("/x/tab\there/tembrik")"},
        {"/x/Тембрик/tembrik", R"("/x/Тембрик/tembrik")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopExecValue(c.path), c.exec) << c.path;
}

TEST_F(AutostartTest, AnEntryIsWrittenReplacedAndRemoved) {
    writeAutostartEntry("tembrik", {"Tembrik", "/a b/\"q\"/tembrik", "/a b/\"q\"/tembrik-48.png"});
    EXPECT_EQ(BytesOf(entry("tembrik")), "[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tembrik\n"
                                         "Exec=\"/a b/\\\\\"q\\\\\"/tembrik\"\n"
                                         "Icon=/a b/\"q\"/tembrik-48.png\n");
    // The desktop's own checker accepts it.
    const std::string check = "desktop-file-validate '" + entry("tembrik").string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0);

    writeAutostartEntry("tembrik", {"Tembrik", "/elsewhere/tembrik", "/elsewhere/tembrik-48.png"});
    EXPECT_NE(BytesOf(entry("tembrik")).find("Exec=\"/elsewhere/tembrik\"\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "autostart" / "tembrik.desktop.new"));

    writeAutostartEntry("tembrik-options", {"Tembrik", "/elsewhere/tembrik", "/i.png"});
    removeAutostartEntry("tembrik");
    EXPECT_FALSE(fs::exists(entry("tembrik")));
    EXPECT_TRUE(fs::exists(entry("tembrik-options")));
    EXPECT_NO_THROW(removeAutostartEntry("tembrik")); // gone already: no error
}

TEST_F(AutostartTest, ARefusedWriteNamesTheEntryAndKeepsTheOldOne) {
    writeAutostartEntry("tembrik", {"Tembrik", "/old/tembrik", "/old/i.png"});
    const std::string old = BytesOf(entry("tembrik"));
    // A folder where the companion file would go: even root cannot write it.
    fs::create_directory(dir_ / "autostart" / "tembrik.desktop.new");
    try {
        writeAutostartEntry("tembrik", {"Tembrik", "/new/tembrik", "/new/i.png"});
        FAIL() << "no error";
    } catch (const AutostartError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'tembrik'");
    }
    EXPECT_EQ(BytesOf(entry("tembrik")), old);

    // No autostart folder can be made where a file stands.
    fs::remove_all(dir_ / "autostart");
    std::ofstream(dir_ / "autostart") << "x";
    EXPECT_THROW(writeAutostartEntry("tembrik-options", {"Tembrik", "/t", "/i"}), AutostartError);
}

TEST(AutostartDir, FollowsXdgConfigHomeOrTheHomeFolder) {
    ::setenv("HOME", "/home/listener", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(autostartDir(), "/cfg/autostart");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored, as XDG base directories require
    EXPECT_EQ(autostartDir(), "/home/listener/.config/autostart");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(autostartDir(), "/home/listener/.config/autostart");
}

TEST(StagedFile, ReplacesOnlyOnCommit) {
    const fs::path dir = fs::temp_directory_path() / ("tembrik-staged-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "config.txt";
    std::ofstream(file, std::ios::binary) << "old\r\n";
    {
        StagedFile dropped(file, "new\r\n");
        EXPECT_TRUE(fs::exists(dir / "config.txt.new"));
    }
    EXPECT_EQ(BytesOf(file), "old\r\n");
    EXPECT_FALSE(fs::exists(dir / "config.txt.new"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    StagedFile(file, encodeTextLines({"new", "Тембрик"})).commit();
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(BytesOf(file), "new\r\n\xD2\xE5\xEC\xE1\xF0\xE8\xEA\r\n");
    EXPECT_FALSE(fs::exists(dir / "config.txt.new"));
    fs::remove_all(dir);
}
