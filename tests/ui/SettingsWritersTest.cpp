// config.txt as the two writers leave it: the close image (or the tray menu's exit item) and "Apply"
// in the Options window; what the next start reads back; the autostart entries each writer keeps;
// and failures that must leave the old file byte for byte.
#include "SettingsFixture.h"

#include "app/PlayerState.h"
#include "settings/RunEntry.h"
#include "tembrik/platform/Autostart.h"
#include "tembrik/platform/ProgramDir.h"
#include "ui/widgets/SkinSlider.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

#include <csignal>
#include <iostream>
#include <sys/mount.h>
#include <sys/resource.h>

namespace fs = std::filesystem;

using SettingsWritersTest = SettingsFixture;

namespace {
struct Settings {
    int checkUpdates, openLast, autostart, bufferMs, equalizer, station;
};
void Set(const Settings& v) {
    PlayerState& s = State();
    s.CheckUpdates = v.checkUpdates;
    s.OpenLast = v.openLast == 1;
    s.AutostartEnabled = v.autostart;
    s.BufferMs = v.bufferMs;
    s.EqualizerEnabled = v.equalizer;
    s.CurrentStation = v.station;
}
} // namespace

TEST_F(SettingsWritersTest, TheCloseImageWritesTheLiveSettingsAndTheNextStartReadsThemBack) {
    const struct {
        const char* name;
        Settings set;
        int volume;
        const char* file;
        int readStation; // as the next start reads it
    } cases[] = {
        {"typical", {1, 1, 0, 3000, 0, -1}, 25, "1|1|25|-1|0|3|0", -1},
        {"open_last off keeps the station but the next start ignores it",
         {0, 0, 0, 5000, 1, 7},
         60,
         "0|0|60|7|0|5|1",
         -1},
        {"equalizer 2 is written as read", {0, 0, 0, 3000, 2, -1}, 25, "0|0|25|-1|0|3|2", -1},
        {"buffer of 45 s from the file", {0, 0, 0, 45000, 0, -1}, 25, "0|0|25|-1|0|45|0", -1},
        {"no station chosen yet", {0, 0, 0, 0, 0, 0}, 0, "0|0|0|0|0|0|0", -1},
        {"autostart on", {0, 0, 1, 1000, 0, -1}, 100, "0|0|100|-1|1|1|0", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        Set(c.set);
        mainWindow_->volumeSlider->setValue(c.volume);
        mainWindow_->closeProgram();
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        EXPECT_FALSE(mainWindow_->isVisible()); // closed
        const QStringList v = QString(c.file).split('|');
        std::vector<std::string> values;
        for (const auto& x : v)
            values.push_back(x.toStdString());
        EXPECT_EQ(bytesOf(config()), configText(values));

        restart();
        const PlayerState& s = State();
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        EXPECT_EQ(s.CheckUpdates, c.set.checkUpdates);
        EXPECT_EQ(s.OpenLast, c.set.openLast == 1);
        EXPECT_EQ(s.AutostartEnabled, c.set.autostart);
        EXPECT_EQ(s.BufferMs, c.set.bufferMs);
        EXPECT_EQ(s.EqualizerEnabled, c.set.equalizer);
        EXPECT_EQ(s.CurrentStation, c.readStation);
        EXPECT_EQ(mainWindow_->volumeSlider->value(), c.volume);
        options_.reset();
        mainWindow_.reset();
        ResetPlayerState();
    }
}

TEST_F(SettingsWritersTest, TheTrayMenusExitWritesLikeTheCloseImageAndMutedMeansVolumeZero) {
    start();
    mainWindow_->volumeSlider->setValue(70);
    mainWindow_->toggleMute(); // mute
    mainWindow_->exitItem->trigger();
    EXPECT_FALSE(mainWindow_->isVisible());
    EXPECT_NE(bytesOf(config()).find("start_volume\r\n0\r\n"), std::string::npos);
}

TEST_F(SettingsWritersTest, ApplyWritesTheWindowsControlsAndTheBands) {
    start();
    State().CurrentStation = 0; // nothing opened since start-up
    State().CheckUpdates = 0;
    mainWindow_->volumeSlider->setValue(40);
    whileOpen([&] {
        options_->checkUpdatesBox->click();
        options_->autostartBox->click();
        options_->equalizerBox->click();
        options_->bufferSlider->setValue(7);
        options_->bandSliders[0]->setValue(0);
        options_->bandSliders[9]->setValue(30);
        options_->applyButton->click();
        EXPECT_FALSE(options_->applyButton->isEnabled());
    });
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
    EXPECT_EQ(bytesOf(config()), configText({"1", "0", "40", "-1", "1", "7", "1"}));
    EXPECT_EQ(bytesOf(dir() / "equalizer.txt"),
              "0\r\n15\r\n15\r\n15\r\n15\r\n15\r\n15\r\n15\r\n15\r\n30\r\n");
    EXPECT_EQ(State().EqualizerBands[0], 0);
    EXPECT_EQ(State().CheckUpdates, 1);
    EXPECT_FALSE(State().OpenLast);
    EXPECT_EQ(State().EqualizerEnabled, 1);

    // The Apply entry starts this very executable, whose path holds a space and a quote.
    ASSERT_TRUE(fs::exists(entry(ApplyRunValueName)));
    EXPECT_FALSE(fs::exists(entry(CloseRunValueName)));
    const fs::path exe = tembrik::platform::programExecutable();
    EXPECT_NE(exe.string().find(" \"q\""), std::string::npos);
    EXPECT_NE(
        bytesOf(entry(ApplyRunValueName)).find("\nExec=" + tembrik::platform::desktopExecValue(exe) + "\n"),
        std::string::npos)
        << bytesOf(entry(ApplyRunValueName));

    // A later start reads back what the window showed.
    restart();
    const PlayerState& s = State();
    EXPECT_EQ(s.CheckUpdates, 1);
    EXPECT_FALSE(s.OpenLast);
    EXPECT_EQ(s.CurrentStation, -1);
    EXPECT_EQ(s.AutostartEnabled, 1);
    EXPECT_EQ(s.BufferMs, 7000);
    EXPECT_EQ(s.EqualizerEnabled, 1);
    EXPECT_EQ(s.EqualizerBands[9], 30);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 40);
}

TEST_F(SettingsWritersTest, EachWriterKeepsItsOwnAutostartEntry) {
    start();
    // Ticked and applied, then closed with the box still ticked: both entries start the program.
    whileOpen([&] {
        options_->autostartBox->click();
        options_->applyButton->click();
    });
    mainWindow_->closeProgram();
    EXPECT_TRUE(fs::exists(entry(ApplyRunValueName)));
    EXPECT_TRUE(fs::exists(entry(CloseRunValueName)));
    EXPECT_EQ(bytesOf(entry(ApplyRunValueName)), bytesOf(entry(CloseRunValueName)));

    // Unticked and closed without "Apply": only the close-time entry goes.
    restart();
    EXPECT_EQ(State().AutostartEnabled, 1);
    whileOpen([&] { options_->autostartBox->click(); });
    EXPECT_EQ(State().AutostartEnabled, 0);
    mainWindow_->closeProgram();
    EXPECT_FALSE(fs::exists(entry(CloseRunValueName)));
    EXPECT_TRUE(fs::exists(entry(ApplyRunValueName)));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

namespace {
// A process-wide file size limit makes every write past `bytes` fail, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

// A 16 KiB file system filled to the last block, where root cannot write either. Empty when this
// process may not mount.
class FullTmpfs {
public:
    explicit FullTmpfs(const fs::path& at) : at_(at) {
        fs::create_directories(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=16k") == 0;
    }
    ~FullTmpfs() {
        if (mounted_)
            ::umount(at_.c_str());
        std::error_code ec;
        fs::remove_all(at_, ec);
    }
    bool mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};
} // namespace

TEST_F(SettingsWritersTest, AFailedWriteLeavesTheOldFileAndShowsTheError) {
    const std::string old = configText({"1", "0", "33", "-1", "0", "4", "0"}) + "trailing line kept\r\n";
    const struct {
        const char* name;
        const char* error;
    } cases[] = {
        {"disk full part-way", "File too large"},
        {"full tmpfs", "Disk full"},
        {"new file refused", "File access denied"},
        {"autostart refused", "Failed to set data for '%1'"},
    };
    for (const bool apply : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (apply ? " (Apply)" : " (close)"));
            errors_.clear();
            put(config(), old);
            start();
            fs::path where = dir();
            std::unique_ptr<FullTmpfs> tmpfs;
            if (std::string(c.name) == "full tmpfs") {
                tmpfs = std::make_unique<FullTmpfs>(dir() / "small");
                if (!tmpfs->mounted()) {
                    options_.reset();
                    mainWindow_.reset();
                    // Mounting needs root; the file size limit fails the same write part-way.
                    std::cout << "no right to mount a tmpfs: case skipped\n";
                    continue;
                }
                where = dir() / "small";
                put(where / "config.txt", old);
                put(where / "equalizer.txt", bytesOf(dir() / "equalizer.txt"));
                put(where / "filler", std::string(64 * 1024, 'x')); // fills it: the write is cut short
                tembrik::platform::setProgramDirForTesting(where);
            }
            if (std::string(c.name) == "new file refused")
                fs::create_directory(dir() / "config.txt.new");
            if (std::string(c.name) == "autostart refused") {
                State().AutostartEnabled = 1;
                fs::create_directories(dir() / "xdg");
                put(dir() / "xdg" / "autostart", "a file where the folder belongs");
            }
            const std::string bands = bytesOf(where / "equalizer.txt");
            const int checkUpdates = State().CheckUpdates;
            {
                std::unique_ptr<FileSizeLimit> limit;
                if (std::string(c.name) == "disk full part-way")
                    limit = std::make_unique<FileSizeLimit>(40);
                if (apply) {
                    whileOpen([&] {
                        if (!options_->autostartBox->isChecked() &&
                            std::string(c.name) == "autostart refused")
                            options_->autostartBox->click();
                        options_->checkUpdatesBox->click();
                        options_->bandSliders[4]->setValue(2);
                        options_->applyButton->click();
                        EXPECT_FALSE(options_->applyButton->isEnabled());
                    });
                } else {
                    mainWindow_->closeProgram();
                }
            }
            ASSERT_EQ(errors_.size(), 1);
            QString error = c.error;
            error.replace("%1", apply ? ApplyRunValueName : CloseRunValueName);
            EXPECT_EQ(errors_.front(), error);
            EXPECT_EQ(bytesOf(where / "config.txt"), old);
            if (apply) {
                EXPECT_EQ(bytesOf(where / "equalizer.txt"), bands); // the bands are not saved
                EXPECT_EQ(State().EqualizerBands[4], 15);
                EXPECT_EQ(State().CheckUpdates, checkUpdates == 1 ? 0 : 1); // the box's own handler
            } else {
                EXPECT_TRUE(mainWindow_->isVisible()); // the program goes on
            }
            tembrik::platform::setProgramDirForTesting(dir());
            options_.reset();
            mainWindow_.reset();
            tmpfs.reset();
            fs::remove_all(dir() / "config.txt.new");
            fs::remove_all(dir() / "xdg");
            ResetPlayerState();
        }
    }
}
