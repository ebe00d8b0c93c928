#include "NetWindowFixture.h"

#include "app/PlayerState.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

void NetWindowFixture::SetUp() {
    ResetPlayerState();
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = std::make_unique<ProgramDirFixture>("net-" + name);
    ::setenv("TEMBRIK_SITE", site().c_str(), 1);
    ::setenv("TEMBRIK_DIRECTORY_SITE", site().c_str(), 1);
    ::setenv("TEMBRIK_PLAYLIST_SERVICE", "http://playlist.test:8000", 1);
    SetMessageBoxHookForTesting(
        [this](const QString& text, bool isError) { (isError ? errors : messages).append(text); });
}

void NetWindowFixture::TearDown() {
    updateNotice.reset();
    mainWindow.reset();
    SetMessageBoxHookForTesting({});
    ::unsetenv("TEMBRIK_SITE");
    ::unsetenv("TEMBRIK_DIRECTORY_SITE");
    ::unsetenv("TEMBRIK_PLAYLIST_SERVICE");
    dir_.reset();
}

void NetWindowFixture::setCheckUpdates(int on) const {
    Put(dir() / "config.txt", "check_updates\r\n" + std::to_string(on) +
                                  "\r\nopen_last\r\n0\r\nstart_volume\r\n25\r\nlast_number\r\n-1\r\n"
                                  "autorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n");
}

void NetWindowFixture::start() {
    mainWindow = std::make_unique<MainWindow>();
    updateNotice = std::make_unique<UpdateNotice>();
    mainWindow->show();
    QApplication::processEvents();
    ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

void NetWindowFixture::serve(const std::string& path, const std::string& body, int status,
                             std::chrono::milliseconds delay) {
    server.route(path, [body, status, delay](Connection& c) {
        if (delay.count() > 0 && !c.sleep(delay))
            return;
        c.send(TestServer::httpHeader(status, "text/html", static_cast<long long>(body.size())) + body);
    });
}

bool NetWindowFixture::waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limit.count())
            return false;
        QTest::qWait(10);
    }
    return true;
}

std::map<std::string, std::string> NetWindowFixture::Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = BytesOf(entry.path());
    return files;
}

std::string NetWindowFixture::BytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void NetWindowFixture::Put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}
