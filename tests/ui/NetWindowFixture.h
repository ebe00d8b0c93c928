#pragma once
// The main window and the Update window over a throw-away program directory, with the tests' own web
// server standing in for the product site, the radio-directory site and its logos. Message boxes are
// recorded instead of shown.
#include "ProgramDirFixture.h"
#include "support/TestServer.h"

#include "ui/MainWindow.h"
#include "ui/UpdateNotice.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class NetWindowFixture : public ::testing::Test {
protected:
    using Connection = tembrik::audio::test::Connection;
    using TestServer = tembrik::audio::test::TestServer;

    void SetUp() override;
    void TearDown() override;

    // Rewrites config.txt's check_updates value, before start().
    void setCheckUpdates(int on) const;
    // Creates the windows as the program entry does; the main window's start-up runs.
    void start();

    // Serves `body` at `path` with `status`, after `delay`.
    void serve(const std::string& path, const std::string& body, int status = 200,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    std::string site() const { return "http://127.0.0.1:" + std::to_string(server.port()); }

    // Handles events until `done` holds or `limit` passes; returns whether it holds.
    static bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);

    std::filesystem::path dir() const { return dir_->path(); }
    std::filesystem::path stations() const { return dir_->path() / "Stations"; }
    // Every file of a directory with its bytes.
    static std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);
    static std::string BytesOf(const std::filesystem::path& file);
    static void Put(const std::filesystem::path& file, const std::string& bytes);

    TestServer server;
    QStringList errors;
    QStringList messages;
    std::unique_ptr<ProgramDirFixture> dir_;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<UpdateNotice> updateNotice;
};
