// The player on a session bus of the test's own, driven and read the way a desktop does it:
// playerctl and dbus-send as separate processes, while this GUI thread answers the bus.
#include "ProgramDirFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "desktop/MprisService.h"
#include "playback/AudioApi.h"
#include "playback/StreamWorker.h"
#include "ui/ErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>

#include <csignal>
#include <fstream>
#include <random>
#include <sys/prctl.h>

// Readable failures.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// Answers the GUI thread's events (the player lives there) until pred holds or ms pass.
template <typename Pred> bool WaitFor(Pred pred, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

// Runs a command to its end while the bus keeps being answered; its standard output, trimmed.
QString RunCommand(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, args);
    WaitFor([&] { return p.state() == QProcess::NotRunning || p.waitForFinished(5); });
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(2000);
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// dbus-send to the player's object, as a desktop without playerctl would call it.
QString Send(const QStringList& args, int* exitCode = nullptr) {
    return RunCommand("dbus-send",
                      QStringList{"--session", "--print-reply=literal",
                                  "--dest=org.mpris.MediaPlayer2.tembrik", "/org/mpris/MediaPlayer2"} +
                          args,
                      exitCode);
}

QString Ctl(const QStringList& args) {
    return RunCommand("playerctl", QStringList{"-p", "tembrik"} + args);
}

// playerctl --follow: prints a property again each time the player announces a change of it.
class Follower {
public:
    explicit Follower(const QStringList& args) {
        p_.start("playerctl", QStringList{"-p", "tembrik", "--follow"} + args);
        p_.waitForStarted(5000);
    }
    ~Follower() {
        p_.kill();
        p_.waitForFinished(2000);
    }
    bool Saw(const QString& line) {
        return WaitFor([&] {
            lines_ += QString::fromUtf8(p_.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            return lines_.contains(line);
        });
    }
    QString Lines() const { return lines_.join(" | "); }

private:
    QProcess p_;
    QStringList lines_;
};

// A session bus of the test's own, so playerctl finds this test's player and nobody else's. The
// daemon is this process's child and ends with it, even when the test is killed.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && daemon_.state() != QProcess::NotRunning && t.elapsed() < 10000) {
            daemon_.waitForReadyRead(100);
            out += daemon_.readAllStandardOutput();
        }
        address_ = QString::fromUtf8(out).section('\n', 0, 0).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus("tembrik-test");
        daemon_.terminate();
        daemon_.waitForFinished(5000);
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    bool ok() const { return !address_.isEmpty(); }
    QDBusConnection Connect() const { return QDBusConnection::connectToBus(address_, "tembrik-test"); }

private:
    QProcess daemon_;
    QString address_;
};

void WriteStation(const std::filesystem::path& dir, int n, const std::string& url, const std::string& title) {
    std::ofstream(dir / ("play" + std::to_string(n) + ".txt"), std::ios::binary) << url << "\r\n"
                                                                                 << title << "\r\n0\r\n";
}

bool SetTitle(const QString& mount, const QString& song) {
    const QString url =
        Env("TEMBRIK_ICECAST_URL") + "/admin/metadata?mount=" + mount +
        "&mode=updinfo&charset=UTF-8&song=" + QString::fromUtf8(QUrl::toPercentEncoding(song));
    int rc = -1;
    RunCommand("curl",
               {"-s", "-f", "-o", "/dev/null", "--max-time", "5", "-u", Env("TEMBRIK_ICECAST_ADMIN"), url},
               &rc);
    return rc == 0;
}

} // namespace

class Mpris : public ::testing::Test {
protected:
    // Three stations of the local radio station's mounts (or of nowhere, for the scripted engine).
    void SetUp() override {
        ASSERT_TRUE(bus.ok()) << "dbus-daemon did not start";
        ResetPlayerState();
        playback::SetAudioForTesting(realEngine ? nullptr : &audio);
        SetMessageBoxHookForTesting([this](const QString& text, bool) { boxes.append(text); });
        const auto stations = dir.path() / "Stations";
        for (const auto& entry : std::filesystem::directory_iterator(stations)) {
            const std::string name = entry.path().filename().string();
            if (name != "1.png" && name != "2.png" && name != "3.png")
                std::filesystem::remove(entry.path());
        }
        const std::string base = Env("TEMBRIK_ICECAST_URL").isEmpty()
                                     ? "http://127.0.0.1:9"
                                     : Env("TEMBRIK_ICECAST_URL").toStdString();
        WriteStation(stations, 1, base + "/mp3", "Test FM One");
        WriteStation(stations, 2, base + "/aac", "Test FM Two");
        WriteStation(stations, 3, base + "/ogg", "Test FM Three");

        form = std::make_unique<MainWindow>();
        form->show();
        QApplication::processEvents();
        ASSERT_TRUE(form->startupError().isEmpty()) << form->startupError().toStdString();
        mpris = std::make_unique<desktop::MprisService>(*form, bus.Connect());
        ASSERT_EQ(mpris->busName(), "org.mpris.MediaPlayer2.tembrik");
    }
    void TearDown() override {
        if (form)
            form->onStopClicked();
        WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); }, 10000);
        mpris.reset();
        form.reset();
        SetMessageBoxHookForTesting({});
        playback::SetAudioForTesting(&DefaultTestAudio());
    }
    QString Album() const { return form->stationTitle->text(); }

    bool realEngine = false;
    PrivateBus bus;
    ProgramDirFixture dir{"mpris"};
    FakeAudio audio;
    QStringList boxes;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<desktop::MprisService> mpris;
};

class MprisOnTheAir : public Mpris {
protected:
    MprisOnTheAir() { realEngine = true; }
};

TEST_F(MprisOnTheAir, TitleAndStatusFollowThePlayerAndPlayPauseStopsAndPlays) {
    if (Env("TEMBRIK_ICECAST_URL").isEmpty() || Env("PULSE_SERVER").isEmpty()) {
        if (Env("TEMBRIK_REQUIRE_FIXTURES") == "1")
            FAIL() << "fixture missing: the local radio station and sound server";
        GTEST_SKIP() << "needs the local radio station and sound server";
    }
    EXPECT_EQ(Ctl({"status"}), "Stopped");
    Follower titles({"metadata", "title"});
    Follower status({"status"});

    const QString first = QStringLiteral("MPRIS Первая %1").arg(std::random_device{}() % 100000);
    ASSERT_TRUE(SetTitle("/mp3", first));
    form->stationCellSelected(0, 0);
    // Other tests share the mount and may set its title meanwhile: say it again until it shows.
    bool seen = false;
    for (int attempt = 0; attempt < 8 && !seen; ++attempt) {
        seen = WaitFor([&] { return form->nowPlaying->text() == first; }, 4000);
        if (!seen)
            SetTitle("/mp3", first);
    }
    ASSERT_TRUE(seen) << form->nowPlaying->text().toStdString();
    EXPECT_EQ(Ctl({"metadata", "title"}), form->nowPlaying->text());
    EXPECT_EQ(Ctl({"metadata", "album"}), "Test FM One");
    EXPECT_EQ(Ctl({"metadata", "xesam:url"}), Env("TEMBRIK_ICECAST_URL") + "/mp3");
    // playerctl quotes an object path.
    EXPECT_EQ(Ctl({"metadata", "mpris:trackid"}), "'/tembrik/station/1'");
    EXPECT_EQ(
        Ctl({"metadata", "mpris:artUrl"}),
        QUrl::fromLocalFile(QString::fromStdString((dir.path() / "Stations" / "1.png").string())).toString());
    EXPECT_TRUE(titles.Saw(first)) << titles.Lines().toStdString();
    ASSERT_TRUE(status.Saw("Playing")) << status.Lines().toStdString();
    EXPECT_EQ(Ctl({"status"}), "Playing");

    // A title change at the station reaches the desktop as the window shows it.
    const QString second = QStringLiteral("MPRIS Second %1").arg(std::random_device{}() % 100000);
    seen = false;
    for (int attempt = 0; attempt < 8 && !seen; ++attempt) {
        SetTitle("/mp3", second);
        seen = WaitFor([&] { return form->nowPlaying->text() == second; }, 4000);
    }
    ASSERT_TRUE(seen) << form->nowPlaying->text().toStdString();
    EXPECT_TRUE(titles.Saw(second)) << titles.Lines().toStdString();
    EXPECT_EQ(Ctl({"metadata", "title"}), second);

    Ctl({"stop"});
    EXPECT_EQ(Ctl({"status"}), "Stopped");
    Ctl({"play-pause"});
    EXPECT_TRUE(WaitFor([&] { return Ctl({"status"}) == "Playing"; })) << status.Lines().toStdString();
    Ctl({"play-pause"});
    EXPECT_EQ(Ctl({"status"}), "Stopped");
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
}

TEST_F(Mpris, VolumeFollowsTheSliderBothWays) {
    Follower volume({"volume"});
    Ctl({"volume", "0.5"});
    EXPECT_EQ(form->volumeSlider->value(), 50);
    EXPECT_EQ(form->volumeLabel->text(), "50");
    EXPECT_EQ(State().VolumePosition.load(), 50);

    form->volumeSlider->setValue(80);
    EXPECT_EQ(Ctl({"volume"}), "0.800000");
    EXPECT_TRUE(volume.Saw("0.800000")) << volume.Lines().toStdString();

    // Values beyond the slider's ends stop at them.
    const auto set = [](const char* value) {
        Send({"org.freedesktop.DBus.Properties.Set", "string:org.mpris.MediaPlayer2.Player", "string:Volume",
              value});
    };
    set("variant:double:1.7");
    EXPECT_EQ(form->volumeSlider->value(), 100);
    set("variant:double:-0.2");
    EXPECT_EQ(form->volumeSlider->value(), 0);
    EXPECT_EQ(form->volumeLabel->text(), "0");
}

TEST_F(Mpris, NextAndPreviousOpenTheNeighboursInTheShownGrid) {
    // Nothing opened yet: no station to play, and no metadata.
    EXPECT_EQ(Ctl({"metadata", "album"}), "");
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM One");
    EXPECT_EQ(State().CurrentStation, 1);
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM Two");
    EXPECT_EQ(Ctl({"metadata", "album"}), "Test FM Two");
    EXPECT_EQ(Ctl({"metadata", "xesam:url"}), QString::fromStdString(State().CurrentUrl.get()));
    Ctl({"previous"});
    Ctl({"previous"});
    EXPECT_EQ(Album(), "Test FM Three") << "wraps from the first to the last";
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM One") << "wraps from the last to the first";

    // With the favourites shown, their order counts.
    std::ofstream(dir.path() / "favs.txt", std::ios::binary) << "3\r\n1\r\n";
    form->showFavourites();
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM Three");
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM One");
    Ctl({"previous"});
    EXPECT_EQ(Album(), "Test FM Three");
    form->showAllStations();
    Ctl({"next"});
    EXPECT_EQ(Album(), "Test FM One");
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
}

TEST_F(Mpris, CapabilitiesAreAnnouncedWhenTheyChange) {
    const auto get = [](const char* interface, const char* property) {
        return Send({"org.freedesktop.DBus.Properties.Get", QStringLiteral("string:%1").arg(interface),
                     QStringLiteral("string:%1").arg(property)})
            .section(' ', -1);
    };
    EXPECT_EQ(get("org.mpris.MediaPlayer2", "Identity"), "Tembrik");
    EXPECT_EQ(get("org.mpris.MediaPlayer2", "DesktopEntry"), "tembrik");
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanPlay"), "false");
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanGoNext"), "true");
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanSeek"), "false");
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanControl"), "true");

    // An empty favourites grid shown: nowhere to go.
    std::ofstream(dir.path() / "favs.txt", std::ios::binary) << "";
    QProcess monitor;
    monitor.start("dbus-monitor", {"--session", "type='signal',member='PropertiesChanged'"});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    QByteArray seen;
    WaitFor([&] { return (seen += monitor.readAllStandardOutput()).contains("NameAcquired"); }, 3000);
    form->showFavourites();
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanGoNext"), "false");
    EXPECT_TRUE(WaitFor([&] { return (seen += monitor.readAllStandardOutput()).contains("CanGoNext"); }))
        << seen.toStdString();
    form->stationCellSelected(1, 0);
    EXPECT_EQ(get("org.mpris.MediaPlayer2.Player", "CanPlay"), "true");
    EXPECT_TRUE(WaitFor([&] { return (seen += monitor.readAllStandardOutput()).contains("CanPlay"); }))
        << seen.toStdString();
    monitor.kill();
    monitor.waitForFinished(2000);
}

TEST_F(Mpris, RaiseBringsTheWindowBackFromTheTray) {
    // Without a tray host (this off-screen platform) hiding minimises instead; Raise undoes either.
    form->hideToTray();
    ASSERT_TRUE(form->isHidden() || form->isMinimized());
    int rc = -1;
    Send({"org.mpris.MediaPlayer2.Raise"}, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(form->isHidden());
    EXPECT_FALSE(form->isMinimized());
}

TEST_F(Mpris, ASecondPlayerOnTheBusTakesANameOfItsOwn) {
    QDBusConnection other =
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "other");
    {
        desktop::MprisService second(*form, other);
        EXPECT_EQ(second.busName(), QStringLiteral("org.mpris.MediaPlayer2.tembrik.instance%1")
                                        .arg(QCoreApplication::applicationPid()));
        EXPECT_TRUE(
            RunCommand("playerctl", {"-l"})
                .split('\n')
                .contains(QStringLiteral("tembrik.instance%1").arg(QCoreApplication::applicationPid())));
    }
    QDBusConnection::disconnectFromBus("other");
}
