#pragma once
// The main window and the Options window over a throw-away program directory whose path holds a
// space and a quote, autostart entries in a folder of the test's own, a scripted engine whose
// current stream carries an effect chain, and message boxes recorded instead of shown.
#include "FakeAudio.h"
#include "ProgramDirFixture.h"

#include "ui/MainWindow.h"
#include "ui/OptionsWindow.h"

#include <QByteArray>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& dir() const { return dir_->path(); }
    std::filesystem::path config() const { return dir() / "config.txt"; }
    std::filesystem::path entry(const char* name) const;

    // Creates the windows as the program entry does, then gives the current stream its effects.
    void start();
    // Ends the windows and starts again from the zeroed state: the next start reads the files.
    void restart();
    // Runs `inside` while the Options window is open, then closes it with "OK" unless it is closed.
    void whileOpen(const std::function<void()>& inside);
    // The gain last set on band k (1..10) of the current stream, or nothing when none was set.
    std::vector<float> gainsSet(int band);

    static void put(const std::filesystem::path& p, const std::string& bytes);
    static std::string bytesOf(const std::filesystem::path& p);
    static std::string configText(const std::vector<std::string>& values);

    FakeAudio audio_;
    std::unique_ptr<ProgramDirFixture> dir_;
    QByteArray configHome_; // XDG_CONFIG_HOME before the test
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<OptionsWindow> options_;
    QStringList errors_;
};
