#include "ProgramDirFixture.h"

#include "app/PlayerState.h"
#include "ui/AboutWindow.h"
#include "ui/ErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/OptionsWindow.h"
#include "ui/StationEditor.h"
#include "ui/UpdateNotice.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

// Creates the five windows as the program entry does and records every message box.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayerState(); }
    void TearDown() override {
        about_.reset();
        updateNotice_.reset();
        editor_.reset();
        options_.reset();
        mainWindow_.reset();
        SetMessageBoxHookForTesting({});
    }

    void start() {
        SetMessageBoxHookForTesting(
            [this](const QString& text, bool isError) { (isError ? errors_ : messages_).append(text); });
        mainWindow_ = std::make_unique<MainWindow>();
        options_ = std::make_unique<OptionsWindow>();
        editor_ = std::make_unique<StationEditor>();
        updateNotice_ = std::make_unique<UpdateNotice>();
        about_ = std::make_unique<AboutWindow>();
        mainWindow_->show();
        QApplication::processEvents();
    }

    static void write(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string text(const std::array<char, NetTextSize>& buffer) { return buffer.data(); }

    QStringList errors_;
    QStringList messages_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<OptionsWindow> options_;
    std::unique_ptr<StationEditor> editor_;
    std::unique_ptr<UpdateNotice> updateNotice_;
    std::unique_ptr<AboutWindow> about_;
};

TEST_F(StartupTest, CompletesQuietlyWithTheShippedData) {
    ProgramDirFixture dir("startup-clean");
    start();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
    EXPECT_TRUE(messages_.isEmpty());
    const PlayerState& s = State();
    EXPECT_EQ(text(s.ProxyText), ".");
    EXPECT_EQ(text(s.AgentText),
              "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US) AppleWebKit/534.10 (KHTML, like "
              "Gecko) Chrome/8.0.552.215 Safari/534.10");
    EXPECT_EQ(text(s.AgentText).size(), 119u);
    EXPECT_EQ(s.ImportCount, 1);
    EXPECT_EQ(s.CurrentIsFavourite, 1);
    EXPECT_EQ(s.FavouritesShown, 0);
    EXPECT_EQ(s.StatusReceiver.load(), mainWindow_.get());
    EXPECT_TRUE(mainWindow_->isVisible());
}

TEST_F(StartupTest, UnreadableProxyFileEndsTheSequenceWithOneErrorBox) {
    ProgramDirFixture dir("startup-proxy-dir");
    // A folder named proxy.txt cannot be read, even by root.
    fs::create_directory(dir.path() / "proxy.txt");
    start();
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_.front(), "File access denied");
    const PlayerState& s = State();
    // Steps before the failing one stay done; the ones after it never ran.
    EXPECT_EQ(s.CurrentStation, 0);
    EXPECT_EQ(text(s.AgentText), "");
    EXPECT_EQ(s.ImportCount, 0);
    EXPECT_EQ(s.CurrentIsFavourite, 0);
    EXPECT_EQ(s.StatusReceiver.load(), nullptr);
    // The program runs on: every window exists and the main window is shown.
    EXPECT_EQ(theMainWindow, mainWindow_.get());
    EXPECT_NE(theOptionsWindow, nullptr);
    EXPECT_NE(theStationEditor, nullptr);
    EXPECT_NE(theUpdateNotice, nullptr);
    EXPECT_NE(theAboutWindow, nullptr);
    EXPECT_TRUE(mainWindow_->isVisible());
}

TEST_F(StartupTest, ProxyTextIsTheFirstLineOrADotWithoutAFile) {
    const struct {
        const char* name;
        const char* file; // nullptr: no proxy.txt
        const char* proxy;
    } cases[] = {
        {"absent", nullptr, "."},
        {"dot then address", ".\r\n10.0.0.1:3128\r\n", "."},
        {"dot-prefixed address", ".10.0.0.1:3128\r\n", ".10.0.0.1:3128"},
        {"address, LF only", "user:pw@127.0.0.1:3128\nignored\n", "user:pw@127.0.0.1:3128"},
        {"empty first line", "\r\nproxy:1\r\n", ""},
        {"no line end", "socks5://127.0.0.1:1080", "socks5://127.0.0.1:1080"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetPlayerState();
        errors_.clear();
        ProgramDirFixture dir("startup-proxy");
        if (c.file)
            write(dir.path() / "proxy.txt", c.file);
        start();
        EXPECT_TRUE(errors_.isEmpty());
        EXPECT_EQ(text(State().ProxyText), c.proxy);
        TearDown();
    }
}

TEST_F(StartupTest, LongProxyTextIsCutToTheBuffer) {
    ProgramDirFixture dir("startup-proxy-long");
    write(dir.path() / "proxy.txt", std::string(300, 'p') + "\r\n");
    start();
    EXPECT_EQ(text(State().ProxyText), std::string(199, 'p'));
}

TEST_F(StartupTest, ThumbsDbIsDeletedBeforeTheScan) {
    ProgramDirFixture dir("startup-thumbs");
    write(dir.path() / "Stations" / "thumbs.db", "x");
    start();
    EXPECT_FALSE(fs::exists(dir.path() / "Stations" / "thumbs.db"));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

namespace {
std::string ConfigFile(const std::vector<std::string>& values) {
    const char* keys[] = {"check_updates", "open_last", "start_volume", "last_number",
                          "autorun",       "buffer",    "equalizer"};
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i)
        out += std::string(keys[i % 7]) + "\r\n" + values[i] + "\r\n";
    return out;
}
} // namespace

TEST_F(StartupTest, StrayEntriesInStationsNeverStopStartUp) {
    ProgramDirFixture dir("startup-strays");
    const fs::path stations = dir.path() / "Stations";
    write(stations / "readme.txt", "notes");
    write(stations / "Thumbs.db", "x");
    write(stations / "THUMBS.DB.bak", "x");
    fs::create_directories(stations / "covers");
    write(dir.path() / "config.txt", ConfigFile({"0", "0", "64", "-1", "0", "4", "0"}));
    testing::internal::CaptureStderr();
    start();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
    EXPECT_FALSE(fs::exists(stations / "Thumbs.db"));
    EXPECT_NE(said.find("skipped \"readme.txt\""), std::string::npos) << said;
    EXPECT_NE(said.find("skipped \"covers\""), std::string::npos) << said;
    EXPECT_NE(said.find("skipped \"THUMBS.DB.bak\""), std::string::npos) << said;
    // The shipped twelve stations are all there and the steps after the scan ran.
    const PlayerState& s = State();
    EXPECT_EQ(s.StationCount, 12);
    EXPECT_EQ(s.ImportCount, 1);
    EXPECT_EQ(s.StatusReceiver.load(), mainWindow_.get());
    EXPECT_EQ(s.StartVolume, 64);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 64);
    EXPECT_EQ(s.BufferMs, 4000);
}

TEST_F(StartupTest, TheLastStationIsOpenedBeforeTheWindowShowsAndConnectsAfterAllFiveExist) {
    const struct {
        const char* name;
        const char* favourites; // nullptr: no favs.txt
        const char* star;
        const char* hint;
    } cases[] = {
        {"a favourite", "1\r\n3\r\n", "fav.png", "Remove from favourites"},
        {"not a favourite", "1\r\n", "notfav.png", "Add to favourites"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetPlayerState();
        ProgramDirFixture dir("startup-open-last");
        write(dir.path() / "Stations" / "play3.txt", "http://127.0.0.1:1/last\r\nLast Station\r\n0\r\n");
        write(dir.path() / "favs.txt", c.favourites);
        write(dir.path() / "config.txt", ConfigFile({"0", "1", "30", "3", "0", "3", "0"}));
        SetMessageBoxHookForTesting([this](const QString& text, bool) { errors_.append(text); });

        // The windows are created one by one, as the program entry does; the station's report may
        // only reach the label once the event loop runs, after the last of them.
        mainWindow_ = std::make_unique<MainWindow>();
        QStringList shown;
        bool allWindowsWhenConnecting = false;
        QObject::connect(mainWindow_->nowPlaying, &ShadowLabel::captionChanged, [&](const QString& t) {
            shown.append(t);
            if (t == "Connection...")
                allWindowsWhenConnecting = theAboutWindow != nullptr;
        });
        EXPECT_EQ(mainWindow_->stationTitle->text(), "Last Station");
        EXPECT_NE(mainWindow_->nowPlaying->text(), "Connection...");
        EXPECT_EQ(State().CurrentStation, 3);
        EXPECT_TRUE(mainWindow_->recordButton->isEnabled());
        EXPECT_TRUE(mainWindow_->playButton->isEnabled());
        EXPECT_TRUE(mainWindow_->stopButton->isEnabled());
        EXPECT_EQ(mainWindow_->favouriteStar->hint(), c.hint);
        EXPECT_EQ(State().CurrentIsFavourite, std::string(c.star) == "fav.png" ? 1 : 0);
        EXPECT_EQ(mainWindow_->favouriteStar->picture().toImage(),
                  QPixmap((dir.path() / c.star).c_str()).toImage());
        options_ = std::make_unique<OptionsWindow>();
        editor_ = std::make_unique<StationEditor>();
        updateNotice_ = std::make_unique<UpdateNotice>();
        EXPECT_TRUE(shown.isEmpty()) << shown.join(" | ").toStdString();
        about_ = std::make_unique<AboutWindow>();
        mainWindow_->show();
        EXPECT_EQ(mainWindow_->stationTitle->text(), "Last Station");
        QElapsedTimer t;
        t.start();
        while (!shown.contains("Connection...") && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(shown.contains("Connection...")) << shown.join(" | ").toStdString();
        EXPECT_TRUE(allWindowsWhenConnecting);
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        TearDown();
    }
}

TEST_F(StartupTest, LastNumberZeroFailsWithFileNotFound) {
    ProgramDirFixture dir("startup-last-zero");
    write(dir.path() / "config.txt", ConfigFile({"0", "1", "30", "0", "0", "3", "0"}));
    start();
    EXPECT_EQ(errors_, QStringList{"File not found"});
    EXPECT_EQ(State().CurrentStation, 0);
    EXPECT_FALSE(mainWindow_->playButton->isEnabled());
    EXPECT_EQ(mainWindow_->stationTitle->text(), "Tembrik - Free Radio Gadget!");
}

TEST_F(StartupTest, SettingsAreReadByLinePosition) {
    const struct {
        const char* name;
        std::string file;  // empty: no config.txt
        const char* error; // nullptr: none
        int checkUpdates, openLast, startVolume, currentStation, autostart, bufferMs, equalizer, slider;
        bool updateTimer;
    } cases[] = {
        {"shipped", ConfigFile({"0", "0", "25", "-1", "0", "3", "0"}), nullptr, 0, 0, 25, -1, 0, 3000, 0, 25,
         false},
        {"all on", ConfigFile({"1", "1", "70", "-1", "1", "5", "1"}), nullptr, 1, 1, 70, -1, 1, 5000, 1, 70,
         true},
        {"flags other than 0 are on", ConfigFile({"00", "", "40", "-1", "1 ", "0", "2"}), nullptr, 1, 1, 40,
         -1, 1, 0, 2, 40, true},
        {"junk station ignored when not reopening", ConfigFile({"0", "0", "10", "seven", "0", "45", "0"}),
         nullptr, 0, 0, 10, -1, 0, 45000, 0, 10, false},
        {"volume beyond the slider is clamped", ConfigFile({"0", "0", "250", "-1", "0", "3", "0"}), nullptr,
         0, 0, 250, -1, 0, 3000, 0, 100, false},
        {"no config.txt", "", "File not found", 0, 0, 0, 0, 0, 0, 0, 25, false},
        {"number with a trailing blank", ConfigFile({"1", "0", "30 ", "-1", "0", "3", "0"}),
         "'30 ' is not a valid integer value", 1, 0, 0, 0, 0, 0, 0, 25, false},
        {"short file", "check_updates\r\n1\r\nopen_last\r\n0\r\nstart_volume\r\n",
         "'' is not a valid integer value", 1, 0, 0, 0, 0, 0, 0, 25, false},
        {"bad buffer stops before the equalizer", ConfigFile({"0", "0", "60", "-1", "1", "x", "1"}),
         "'x' is not a valid integer value", 0, 0, 60, -1, 1, 0, 0, 25, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetPlayerState();
        errors_.clear();
        ProgramDirFixture dir("startup-config");
        std::filesystem::remove(dir.path() / "config.txt");
        if (!c.file.empty())
            write(dir.path() / "config.txt", c.file);
        start();
        if (c.error) {
            ASSERT_EQ(errors_.size(), 1);
            EXPECT_EQ(errors_.front().toStdString(), c.error);
        } else {
            EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        }
        const PlayerState& s = State();
        EXPECT_EQ(s.CheckUpdates, c.checkUpdates);
        EXPECT_EQ(s.OpenLast, c.openLast == 1);
        EXPECT_EQ(s.StartVolume, c.startVolume);
        EXPECT_EQ(s.CurrentStation, c.currentStation);
        EXPECT_EQ(s.AutostartEnabled, c.autostart);
        EXPECT_EQ(s.BufferMs, c.bufferMs);
        EXPECT_EQ(s.EqualizerEnabled, c.equalizer);
        EXPECT_EQ(mainWindow_->volumeSlider->value(), c.slider);
        EXPECT_EQ(mainWindow_->updateCheckTimer->isActive(), c.updateTimer);
        TearDown();
    }
}
