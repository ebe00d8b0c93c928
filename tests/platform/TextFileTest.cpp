#include "tembrik/platform/TextFile.h"
#include "tembrik/platform/Cp1251.h"
#include "tembrik/platform/Errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tembrik::platform;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tembrik-text-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const char* name) const { return dir_ / name; }
    void putBytes(const fs::path& p, const std::string& bytes) const {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string bytesOf(const fs::path& p) const {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
};

} // namespace

TEST(Cp1251, CyrillicRoundTripAndBytes) {
    const std::string utf8 = "Тембрик Zedu: Ёлка №1 «радио»";
    const std::string bytes = utf8ToCp1251(utf8);
    // One byte a character: "Т" is 0xD2, "Ё" 0xA8, "№" 0xB9, "«" 0xAB in Windows-1251.
    EXPECT_EQ(bytes.size(), 29u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xD2);
    EXPECT_NE(bytes.find('\xA8'), std::string::npos);
    EXPECT_NE(bytes.find('\xB9'), std::string::npos);
    EXPECT_EQ(cp1251ToUtf8(bytes), utf8);
}

TEST(Cp1251, UnmappableAndBrokenInputDoesNotLoseTheRest) {
    EXPECT_EQ(utf8ToCp1251("a\xE2\x82\xACz"), "a\x88z"); // euro sign exists in 1251
    EXPECT_EQ(utf8ToCp1251("a中z"), "a?z");              // no CJK in 1251
    EXPECT_EQ(utf8ToCp1251("a\xC3z"), "a?z");            // truncated UTF-8 sequence
    EXPECT_EQ(utf8ToCp1251("ab\xE2\x82"), "ab?");        // cut at the very end
    EXPECT_EQ(cp1251ToUtf8("x\x98y"), "x\xEF\xBF\xBDy"); // the one undefined byte
}

TEST_F(TextFileTest, WritesCp1251WithCrLfAndTruncates) {
    const auto p = file("config.txt");
    putBytes(p, std::string(100, 'x'));
    writeTextFile(p, {"Радио", "", "3"});
    EXPECT_EQ(bytesOf(p), "\xD0\xE0\xE4\xE8\xEE\r\n\r\n3\r\n");
}

TEST_F(TextFileTest, ReadsByPositionWhateverTheLineEnds) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
        bool lastEnded;
    } cases[] = {
        {"crlf", "one\r\ntwo\r\n", {"one", "two"}, true},
        {"lf", "one\ntwo\n", {"one", "two"}, true},
        {"mixed, no final end", "one\r\n\ntwo", {"one", "", "two"}, false},
        {"cp1251", "\xC4\xE0\r\n", {"Да"}, true},
        {"empty file", "", {}, true},
        {"blank lines", "\r\n\r\n", {"", ""}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto p = file("lines.txt");
        putBytes(p, c.bytes);
        const TextLines t = TextLines::read(p);
        EXPECT_EQ(t.all(), c.lines);
        EXPECT_EQ(t.lastLineEnded(), c.lastEnded);
        EXPECT_EQ(t.line(c.lines.size()), "");
        EXPECT_EQ(t.line(1000), "");
    }
}

TEST_F(TextFileTest, ErrorsCarryTheRunTimeTexts) {
    auto messageOf = [](auto&& f) -> std::string {
        try {
            f();
        } catch (const FileError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] { TextLines::read(file("absent.txt")); }), "File not found");
    fs::create_directory(file("proxy.txt"));
    EXPECT_EQ(messageOf([&] { TextLines::read(file("proxy.txt")); }), "File access denied");
    EXPECT_EQ(messageOf([&] { writeTextFile(file("proxy.txt"), {"x"}); }), "File access denied");
    EXPECT_EQ(messageOf([&] { writeTextFile(file("no/such/dir.txt"), {"x"}); }), "File not found");
}

TEST_F(TextFileTest, ReplaceKeepsTheOldFileWhenWritingFails) {
    const auto p = file("favs.txt");
    writeTextFile(p, {"3", "8"});
    replaceTextFile(p, {"3"});
    EXPECT_EQ(bytesOf(p), "3\r\n");
    // A directory where the companion file must go makes the write fail before the rename.
    fs::create_directory(file("favs.txt.new"));
    EXPECT_THROW(replaceTextFile(p, {"5"}), FileError);
    EXPECT_EQ(bytesOf(p), "3\r\n");
}

TEST_F(TextFileTest, AppendStartsANewLineAfterAnUnendedLast) {
    const auto p = file("favs.txt");
    appendTextLines(p, {"3"});
    EXPECT_EQ(bytesOf(p), "3\r\n");
    putBytes(p, "3\r\n8");
    appendTextLines(p, {"5"});
    EXPECT_EQ(bytesOf(p), "3\r\n8\r\n5\r\n");
    EXPECT_EQ(TextLines::read(p).all(), (std::vector<std::string>{"3", "8", "5"}));
}
