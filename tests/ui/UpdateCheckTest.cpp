// The version check against the tests' own product site, and the Update window.
#include "NetWindowFixture.h"

#include "app/PlayerState.h"
#include "playback/StatusChannel.h"
#include "ui/NetClient.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/ShadowLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <thread>

using namespace std::chrono_literals;

namespace {

// Stands in for the web browser: records what "open" was asked for.
class BrowserRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Counts the paints a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class UpdateCheckTest : public NetWindowFixture {
protected:
    // Runs the check and answers the Update window, if it comes up, with `answer`; returns whether
    // it came up.
    bool check(const std::function<void()>& answer = {}) {
        bool shown = false;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!updateNotice->isVisible() || shown)
                return;
            shown = true;
            if (answer)
                answer();
            else
                updateNotice->closeButton->click();
        });
        watch.start();
        mainWindow->checkForUpdate();
        return shown;
    }
};

TEST_F(UpdateCheckTest, TheWindowComesUpExactlyWhenTheSiteNamesAGreaterRelease) {
    setCheckUpdates(0);
    start();
    struct Case {
        std::string body;
        int status;
        bool shown;
    } cases[] = {
        {"8", 200, true},      {"7", 200, false}, {"10", 200, true},  {"-1", 200, false},
        {"8\r\n", 200, false}, {"", 200, false},  {"0x8", 200, true}, {"$7", 200, false},
        {" 9", 200, true},     {"8", 500, false}, {"9 ", 200, false},
    };
    int requests = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.body + "\" " + std::to_string(c.status));
        serve("/devovadadir.txt", c.body, c.status);
        EXPECT_EQ(check(), c.shown);
        EXPECT_EQ(server.connections("/devovadadir.txt"), ++requests);
        EXPECT_FALSE(updateNotice->isVisible());
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

// A site that answers after the 2000 ms time-out, or not at all, shows nothing and is asked once;
// while the request waits the window repaints and a playing stream's new title reaches its label.
TEST_F(UpdateCheckTest, ALateOrMissingSiteShowsNothingAndTheWindowStaysAlive) {
    setCheckUpdates(0);
    start();
    serve("/devovadadir.txt", "8", 200, 2500ms);
    PaintCounter counter;
    mainWindow->installEventFilter(&counter);
    int paintsWhileWaiting = 0;
    bool titleWhileWaiting = false;
    std::thread stream;
    QTimer during;
    during.setInterval(20);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!NetworkBusy())
            return;
        if (!stream.joinable())
            stream = std::thread([] { MainStatusChannel().send({StatusTitle, 0, "Artist - Song"}); });
        titleWhileWaiting = titleWhileWaiting || mainWindow->nowPlaying->text() == "Artist - Song";
        // The import cannot start while the check waits.
        mainWindow->importCatalogue();
        paintsWhileWaiting = counter.paints;
        mainWindow->update();
    });
    during.start();
    EXPECT_FALSE(check());
    during.stop();
    if (stream.joinable())
        stream.join();
    EXPECT_EQ(server.connections("/devovadadir.txt"), 1);
    EXPECT_EQ(server.connections("/"), 0);
    EXPECT_TRUE(titleWhileWaiting);
    EXPECT_GT(paintsWhileWaiting, 0);
    EXPECT_FALSE(mainWindow->updateCheckTimer->isActive());

    ::setenv("TEMBRIK_SITE", "http://127.0.0.1:1", 1); // nothing listens on port 1
    EXPECT_FALSE(check());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

TEST_F(UpdateCheckTest, UpdateOpensTheSiteAndStaysOpenCloseAndTheCloseAreaClose) {
    setCheckUpdates(0);
    start();
    serve("/devovadadir.txt", "8");
    BrowserRecorder browser;
    QDesktopServices::setUrlHandler("http", &browser, "open");
    bool openAfterUpdate = false;
    EXPECT_TRUE(check([&] {
        updateNotice->updateButton->click();
        QApplication::processEvents();
        openAfterUpdate = updateNotice->isVisible();
        QTest::mouseClick(updateNotice->closeMark, Qt::LeftButton);
    }));
    QDesktopServices::unsetUrlHandler("http");
    EXPECT_TRUE(openAfterUpdate);
    EXPECT_FALSE(updateNotice->isVisible());
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0], QUrl(QString::fromStdString(site() + "/")));
    // The handler waited for the window: nothing of it is left running.
    EXPECT_FALSE(NetworkBusy());
}

// The request goes out as streams do: with the program's user agent, through the proxy named in
// proxy.txt (the tests' server stands in for the proxy and sees the whole address).
TEST_F(UpdateCheckTest, TheCheckGoesThroughTheProxyOfProxyTxtWithTheProgramsAgent) {
    setCheckUpdates(0);
    Put(dir() / "proxy.txt", "127.0.0.1:" + std::to_string(server.port()) + "\r\n");
    std::string agent;
    server.route("http://product.invalid/devovadadir.txt", [&agent](Connection& c) {
        agent = c.header("user-agent");
        c.send(TestServer::httpHeader(200, "text/plain", 2) + "11");
    });
    start();
    ::setenv("TEMBRIK_SITE", "http://product.invalid", 1);
    EXPECT_TRUE(check());
    EXPECT_EQ(agent, std::string(State().AgentText.data()));
    EXPECT_FALSE(agent.empty());
}

TEST_F(UpdateCheckTest, TheWindowsLayoutAndPlace) {
    EXPECT_EQ(UpdateWindowPosition(QSize(1024, 768)), QPoint(362, 284));
    setCheckUpdates(0);
    start();
    EXPECT_EQ(updateNotice->size(), QSize(302, 135));
    EXPECT_EQ(updateNotice->windowTitle(), "Update");
    EXPECT_EQ(updateNotice->closeMark->geometry(), QRect(260, 4, 32, 25));
    EXPECT_EQ(updateNotice->messageLabel->geometry(), QRect(69, 22, 147, 48));
    EXPECT_EQ(updateNotice->messageLabel->text(), "Tembrik\nUpdates available");
    EXPECT_EQ(updateNotice->updateButton->geometry(), QRect(150, 88, 129, 25));
    EXPECT_EQ(updateNotice->updateButton->text(), "Update");
    EXPECT_EQ(updateNotice->closeButton->geometry(), QRect(32, 88, 105, 25));
    EXPECT_EQ(updateNotice->closeButton->text(), "Close");
    EXPECT_EQ(updateNotice->updateButton->nextInFocusChain(), updateNotice->closeButton);
    // Wherever it was, showing it places it by the screen.
    updateNotice->move(5, 5);
    updateNotice->show();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(updateNotice->pos(), UpdateWindowPosition(screen));
    updateNotice->hide();
}

// The check is made once, ten seconds after start-up, when check_updates is on; when it is off,
// no request is made during the run.
TEST_F(UpdateCheckTest, TheTimerMakesTheCheckOnlyWhenTheSettingIsOn) {
    serve("/devovadadir.txt", "7");
    setCheckUpdates(1);
    start();
    EXPECT_TRUE(mainWindow->updateCheckTimer->isActive());
    EXPECT_EQ(mainWindow->updateCheckTimer->interval(), 10000);
    ASSERT_TRUE(waitFor([&] { return server.connections("/devovadadir.txt") == 1; }, 30s));
    EXPECT_TRUE(waitFor([&] { return !NetworkBusy(); }, 10s));
    EXPECT_FALSE(mainWindow->updateCheckTimer->isActive());

    mainWindow.reset();
    updateNotice.reset();
    setCheckUpdates(0);
    start();
    EXPECT_FALSE(mainWindow->updateCheckTimer->isActive());
    // Longer than the timer's ten seconds: still no request.
    EXPECT_FALSE(waitFor([&] { return server.connections("/devovadadir.txt") > 1; }, 12s));
    EXPECT_EQ(server.connections("/devovadadir.txt"), 1);
}

} // namespace

#include "UpdateCheckTest.moc"
