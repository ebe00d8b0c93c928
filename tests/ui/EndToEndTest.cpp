// The whole program against the local radio station and a real sound server: what a listener sees
// in the now-playing line and hears in the sink.
#include "ProgramDirFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/StreamWorker.h"
#include "tembrik/mediaplayer/MediaPlayer.h"
#include "ui/ErrorBox.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>

using tembrik::mediaplayer::PlayState;

namespace {

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

bool NeedFixtures(std::initializer_list<const char*> names, std::string* missing) {
    for (const char* n : names)
        if (Env(n).isEmpty()) {
            *missing = n;
            return false;
        }
    return true;
}

#define REQUIRE_FIXTURES(...)                                                                                \
    do {                                                                                                     \
        std::string missing;                                                                                 \
        if (!NeedFixtures({__VA_ARGS__}, &missing)) {                                                        \
            if (Env("TEMBRIK_REQUIRE_FIXTURES") == "1")                                                      \
                FAIL() << "fixture missing: " << missing;                                                    \
            GTEST_SKIP() << "fixture missing: " << missing;                                                  \
        }                                                                                                    \
    } while (0)

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Level of one frequency in mono 16-bit samples (Goertzel), in dB relative to full scale.
double ToneDb(const QByteArray& pcm, double hz, int rate = 44100) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype n = pcm.size() / 2;
    if (n < 1000)
        return -200;
    const double w = 2 * M_PI * hz / rate, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const double s0 = s[i] / 32768.0 + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return 10 * std::log10(std::max(power, 1e-20) * 4 / (double(n) * double(n)) / 0.5);
}

// A null sink of this test's own, so other tests' sound on the shared server cannot mix in.
class OwnSink {
public:
    OwnSink() {
        name_ = QStringLiteral("tembrik_e2e_%1").arg(QCoreApplication::applicationPid());
        module_ = Run("pactl", {"load-module", "module-null-sink", "sink_name=" + name_, "rate=44100"});
        qputenv("PULSE_SINK", name_.toUtf8());
    }
    ~OwnSink() {
        qunsetenv("PULSE_SINK");
        if (!module_.isEmpty())
            Run("pactl", {"unload-module", module_});
    }
    bool ok() const { return !module_.isEmpty(); }
    // Records what the sink plays for the given time.
    QByteArray Record(int ms) {
        QProcess rec;
        rec.start("parec", {"-d", name_ + ".monitor", "--format=s16le", "--rate=44100", "--channels=1",
                            "--raw", "--latency-msec=50"});
        rec.waitForStarted(5000);
        QElapsedTimer t;
        t.start();
        QByteArray pcm;
        while (t.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            rec.waitForReadyRead(20);
            pcm += rec.readAllStandardOutput();
        }
        rec.kill();
        rec.waitForFinished(2000);
        // Drop the first 200 ms: the recorder's own start.
        return pcm.mid(44100 * 2 / 5);
    }
    // The level of the tone in 1.5 s recordings, listening again (up to `tries` times) until
    // `heard` accepts it: sound that comes late, or an underrun in one recording, is not a fault.
    template <typename Heard> double ToneHeard(double hz, Heard heard, int tries) {
        double db = ToneDb(Record(1500), hz);
        for (int i = 1; i < tries && !heard(db); ++i)
            db = ToneDb(Record(1500), hz);
        return db;
    }

private:
    QString name_;
    QString module_;
};

// An MP3 source of this test's own on the local icecast, which the test can stop and restart.
class OwnMount {
public:
    explicit OwnMount(int hz) : hz_(hz) {
        mount_ = QStringLiteral("/e2e-%1-%2.mp3").arg(QCoreApplication::applicationPid()).arg(hz);
    }
    ~OwnMount() { Stop(); }
    void Start() {
        const QString base = Env("TEMBRIK_ICECAST_URL").mid(7); // after "http://"
        ffmpeg_.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                                 QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(hz_), "-ac", "2",
                                 "-c:a", "libmp3lame", "-b:a", "128k", "-content_type", "audio/mpeg", "-f",
                                 "mp3", "icecast://" + Env("TEMBRIK_ICECAST_SOURCE") + "@" + base + mount_});
        ffmpeg_.waitForStarted(5000);
    }
    void Stop() {
        if (ffmpeg_.state() != QProcess::NotRunning) {
            ffmpeg_.kill();
            ffmpeg_.waitForFinished(5000);
        }
    }
    std::string Url() const { return (Env("TEMBRIK_ICECAST_URL") + mount_).toStdString(); }
    // Waits until icecast serves the mount.
    bool Live() {
        for (int i = 0; i < 100; ++i) {
            if (Run("curl", {"-s", "-o", "/dev/null", "-w", "%{http_code}", "--max-time", "1",
                             QString::fromStdString(Url())}) == "200")
                return true;
            QThread::msleep(100);
        }
        return false;
    }

private:
    int hz_;
    QString mount_;
    QProcess ffmpeg_;
};

bool SetTitle(const QString& mount, const QString& song) {
    const QString url =
        Env("TEMBRIK_ICECAST_URL") + "/admin/metadata?mount=" + mount +
        "&mode=updinfo&charset=UTF-8&song=" + QString::fromUtf8(QUrl::toPercentEncoding(song));
    QProcess p;
    p.start("curl",
            {"-s", "-f", "-o", "/dev/null", "--max-time", "5", "-u", Env("TEMBRIK_ICECAST_ADMIN"), url});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

} // namespace

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayerState();
        playback::SetAudioForTesting(nullptr); // the real engine
        SetMessageBoxHookForTesting([this](const QString& text, bool) { boxes.append(text); });
    }
    void TearDown() override {
        if (form) {
            form->sBitBtn3Click();
            form.reset();
        }
        playback::WaitForStreamWorkers(std::chrono::seconds(5));
        SetMessageBoxHookForTesting({});
        playback::SetAudioForTesting(&DefaultTestAudio());
    }
    void Open() {
        form = std::make_unique<TForm1>();
        QObject::connect(form->RxLabel7, &ShadowLabel::captionChanged,
                         [this](const QString& t) { labels.append(t); });
        form->show();
        QApplication::processEvents();
        ASSERT_TRUE(form->StartupError().isEmpty()) << form->StartupError().toStdString();
    }
    void Play(const std::string& url) {
        State().CurrentUrl.set(url);
        State().UseWmpEngine.set("0");
        form->Button3Click();
    }
    QString Label() const { return form->RxLabel7->text(); }
    // Answers the program's events until pred holds, noting every text the label showed.
    template <typename Pred> bool WaitFor(Pred pred, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            if (pred())
                return true;
        }
        return false;
    }
    bool Shown(const QString& text) const { return labels.contains(text); }
    // Settings with a one-second buffer and the equalizer switch as given; every band flat but the
    // fifth (1000 Hz).
    void WriteEqualizerFiles(int enabled, int band5) const {
        std::ofstream(dir.path() / "equalizer.txt", std::ios::binary)
            << "15\r\n15\r\n15\r\n15\r\n"
            << band5 << "\r\n15\r\n15\r\n15\r\n15\r\n15\r\n";
        std::ofstream(dir.path() / "config.txt", std::ios::binary)
            << "check_updates\r\n0\r\nopen_last\r\n0\r\nstart_volume\r\n25\r\nlast_number\r\n-1\r\n"
               "autorun\r\n0\r\nbuffer\r\n1\r\nequalizer\r\n"
            << enabled << "\r\n";
    }
    bool ShownBuffering() const {
        return std::any_of(labels.begin(), labels.end(),
                           [](const QString& l) { return l.startsWith("Buffering... "); });
    }

    ProgramDirFixture dir{"e2e"};
    std::unique_ptr<TForm1> form;
    QStringList labels;
    QStringList boxes;
};

TEST_F(EndToEnd, AStationPlaysWithItsTitleAndTitleChangesFollow) {
    REQUIRE_FIXTURES("PULSE_SERVER", "TEMBRIK_ICECAST_URL", "TEMBRIK_ICECAST_ADMIN");
    OwnSink sink;
    ASSERT_TRUE(sink.ok());
    const std::string url = (Env("TEMBRIK_ICECAST_URL") + "/mp3").toStdString();
    const QString first = QStringLiteral("Tembrik - Первая %1").arg(std::random_device{}() % 100000);
    ASSERT_TRUE(SetTitle("/mp3", first));
    Open();
    form->sTrackBar1->setValue(100);
    Play(url);
    // Other tests may set the mount's title meanwhile: say it again until it comes through.
    bool seen = false;
    for (int attempt = 0; attempt < 8 && !seen; ++attempt) {
        seen = WaitFor([&] { return Label() == first; }, 4000);
        if (!seen)
            SetTitle("/mp3", first);
    }
    ASSERT_TRUE(seen) << labels.join(" | ").toStdString();
    // The line showed the connection first, then the buffering, then the title.
    const auto firstChange = std::find_if(labels.begin(), labels.end(), [](const QString& l) {
        return l != "Tembrik Dave 2.5" && l != "No signal";
    });
    ASSERT_NE(firstChange, labels.end());
    EXPECT_EQ(*firstChange, "Connection...") << labels.join(" | ").toStdString();
    EXPECT_TRUE(ShownBuffering()) << labels.join(" | ").toStdString();
    EXPECT_TRUE(form->sBitBtn2->isEnabled());

    // The station's 440 Hz tone is in what the sink played.
    WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); }, 10000);
    WaitFor([] { return false; }, 700);
    const QByteArray pcm = sink.Record(2000);
    EXPECT_GT(ToneDb(pcm, 440), -40);
    EXPECT_GT(ToneDb(pcm, 440) - ToneDb(pcm, 1234), 30);

    const QString second = QStringLiteral("Tembrik - Second %1").arg(std::random_device{}() % 100000);
    seen = false;
    for (int attempt = 0; attempt < 8 && !seen; ++attempt) {
        SetTitle("/mp3", second);
        seen = WaitFor([&] { return Label() == second; }, 4000);
    }
    EXPECT_TRUE(seen) << labels.join(" | ").toStdString();
}

TEST_F(EndToEnd, ADroppedSourceIsReconnectedAndPlaysAgainWhenItReturns) {
    REQUIRE_FIXTURES("PULSE_SERVER", "TEMBRIK_ICECAST_URL", "TEMBRIK_ICECAST_SOURCE");
    OwnSink sink;
    OwnMount mount(660);
    mount.Start();
    ASSERT_TRUE(mount.Live());
    Open();
    Play(mount.Url());
    ASSERT_TRUE(WaitFor(
        [&] { return ShownBuffering() && playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); },
        20000));
    labels.clear();
    mount.Stop();
    ASSERT_TRUE(WaitFor([&] { return Shown("Connection..."); }, 30000)) << labels.join(" | ").toStdString();
    mount.Start();
    ASSERT_TRUE(mount.Live());
    // Back on the air: the reconnect reaches buffering (this mount sends no title) and sound.
    labels.clear();
    ASSERT_TRUE(WaitFor([&] { return ShownBuffering(); }, 40000)) << labels.join(" | ").toStdString();
    WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); }, 10000);
    // A mount just back on the air has no burst to give: the pre-buffer fills at the stream's own
    // rate, so the sound may come seconds after the percentage first shows.
    EXPECT_GT(sink.ToneHeard(
                  660, [](double db) { return db > -50; }, 10),
              -50);
}

TEST_F(EndToEnd, AnUnreachableStationEndsInNoSignalWithTheControlsReady) {
    REQUIRE_FIXTURES("PULSE_SERVER");
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there now
    Open();
    Play("http://127.0.0.1:" + std::to_string(port) + "/radio");
    ASSERT_TRUE(WaitFor([&] { return Label() == "No signal"; }, 20000)) << labels.join(" | ").toStdString();
    EXPECT_TRUE(Shown("Connection..."));
    EXPECT_TRUE(form->sBitBtn2->isEnabled());
    EXPECT_TRUE(form->sBitBtn3->isEnabled());
    // A failure the user asked for is not retried by itself.
    WaitFor([] { return false; }, 1500);
    EXPECT_EQ(Label(), "No signal");
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(EndToEnd, TheProxyFileAndUserAgentReachTheEngine) {
    REQUIRE_FIXTURES("PULSE_SERVER");
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    QByteArray seen;
    QObject::connect(&proxy, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = proxy.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, [&seen, s] {
            seen += s->readAll();
            if (seen.contains("\r\n\r\n")) {
                s->write("HTTP/1.0 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
                s->disconnectFromHost();
            }
        });
    });
    std::ofstream(dir.path() / "proxy.txt", std::ios::binary)
        << "127.0.0.1:" << proxy.serverPort() << "\r\nignored\r\n";
    Open();
    Play("http://radio.invalid/stream");
    ASSERT_TRUE(WaitFor([&] { return seen.contains("\r\n\r\n"); }, 20000));
    EXPECT_TRUE(seen.startsWith("GET http://radio.invalid/stream")) << seen.left(200).toStdString();
    EXPECT_TRUE(
        seen.contains("User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US) AppleWebKit/534.10 "
                      "(KHTML, like Gecko) Chrome/8.0.552.215 Safari/534.10\r\n"))
        << seen.toStdString();
    WaitFor([&] { return Label() == "No signal"; }, 20000);
}

// A fresh program (each test runs in its own process): "." on the first line means no proxy at
// all, and the address is asked directly.
TEST_F(EndToEnd, ADotInTheProxyFileMeansNoProxy) {
    REQUIRE_FIXTURES("PULSE_SERVER");
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    bool proxyHit = false;
    QObject::connect(&proxy, &QTcpServer::newConnection, [&] {
        proxyHit = true;
        proxy.nextPendingConnection()->disconnectFromHost();
    });
    std::ofstream(dir.path() / "proxy.txt", std::ios::binary)
        << ".\r\n127.0.0.1:" << proxy.serverPort() << "\r\n";
    QTcpServer direct;
    ASSERT_TRUE(direct.listen(QHostAddress::LocalHost));
    bool directHit = false;
    QObject::connect(&direct, &QTcpServer::newConnection, [&] {
        directHit = true;
        direct.nextPendingConnection()->disconnectFromHost();
    });
    Open();
    Play("http://127.0.0.1:" + std::to_string(direct.serverPort()) + "/stream");
    ASSERT_TRUE(WaitFor([&] { return directHit; }, 20000));
    EXPECT_FALSE(proxyHit);
}

TEST_F(EndToEnd, TheEqualizerRaisesItsBand) {
    REQUIRE_FIXTURES("PULSE_SERVER", "TEMBRIK_ICECAST_URL", "TEMBRIK_ICECAST_SOURCE");
    OwnSink sink;
    OwnMount mount(1000);
    mount.Start();
    ASSERT_TRUE(mount.Live());
    WaitFor([] { return false; }, 3000); // icecast keeps a burst for new listeners
    auto levelWith = [&](int enabled, int band5) {
        WriteEqualizerFiles(enabled, band5);
        ResetPlayerState();
        labels.clear();
        Open();
        Play(mount.Url());
        EXPECT_TRUE(WaitFor(
            [&] { return ShownBuffering() && playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); },
            60000));
        WaitFor([] { return false; }, 700); // past the effect's ramp
        const double db = ToneDb(sink.Record(1500), 1000);
        form->sBitBtn3Click();
        form.reset();
        return db;
    };
    const double flat = levelWith(1, 15);
    const double raised = levelWith(1, 0);
    const double off = levelWith(2, 0); // only 1 means on
    EXPECT_NEAR(raised - flat, 15, 2) << "flat " << flat << " raised " << raised;
    EXPECT_NEAR(off, flat, 1.5);
}

TEST_F(EndToEnd, AMainEngineStationStopsTheSecondPlayerWhoseBitRateWasShown) {
    REQUIRE_FIXTURES("PULSE_SERVER", "TEMBRIK_ICECAST_URL");
    const std::string base = Env("TEMBRIK_ICECAST_URL").toStdString();
    const auto station = [&](int n, const std::string& url, const char* engine) {
        std::ofstream(dir.path() / "Stations" / ("play" + std::to_string(n) + ".txt"), std::ios::binary)
            << url << "\r\nStation " << n << "\r\n"
            << engine << "\r\n";
    };
    station(1, base + "/mp3", "1");
    station(2, base + "/aac", "0");
    Open();
    form->NextGrid1SelectCell(0, 0);
    // Playing, the second player's status holds its bit rate: the part from ": " to "/с" goes to the
    // now-playing label and to the station label's hint.
    ASSERT_TRUE(WaitFor([&] { return Label().endsWith("/с"); }, 20000)) << labels.join(" | ").toStdString();
    EXPECT_EQ(form->WindowsMediaPlayer1->playState(), PlayState::Playing);
    EXPECT_TRUE(Label().endsWith(" Кбит/с")) << Label().toStdString();
    EXPECT_FALSE(Label().contains(": ")) << Label().toStdString();
    EXPECT_EQ(form->RxLabel6->toolTip(), Label());

    form->NextGrid1SelectCell(1, 0);
    EXPECT_EQ(form->WindowsMediaPlayer1->playState(), PlayState::Stopped);
    ASSERT_TRUE(WaitFor([&] { return ShownBuffering(); }, 20000)) << labels.join(" | ").toStdString();
    EXPECT_EQ(form->WindowsMediaPlayer1->playState(), PlayState::Stopped);
    EXPECT_EQ(form->RxLabel6->text(), "Station 2");
}

TEST_F(EndToEnd, TheOptionsWindowsBandsAreHeardOnlyOnceTheEqualizerIsTicked) {
    REQUIRE_FIXTURES("PULSE_SERVER", "TEMBRIK_ICECAST_URL", "TEMBRIK_ICECAST_SOURCE");
    OwnSink sink;
    OwnMount mount(1000);
    mount.Start();
    ASSERT_TRUE(mount.Live());
    WaitFor([] { return false; }, 3000); // icecast keeps a burst for new listeners
    WriteEqualizerFiles(0, 15);
    Open();
    TForm2 options;
    Play(mount.Url());
    ASSERT_TRUE(WaitFor(
        [&] { return ShownBuffering() && playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); },
        60000));
    WaitFor([] { return false; }, 700);
    const double flat = ToneDb(sink.Record(1500), 1000);
    double moved = 0, ticked = 0;
    QTimer::singleShot(0, &options, [&] {
        options.BandSliders[4]->setValue(0); // the 1000 Hz band up by 15 dB, with the equalizer off
        WaitFor([] { return false; }, 700);
        moved = ToneDb(sink.Record(1500), 1000);
        options.sCheckBox4->click();
        // Past the effect's ramp and the sound already queued for the output.
        WaitFor([] { return false; }, 2500);
        ticked = sink.ToneHeard(
            1000, [&](double db) { return std::abs(db - flat - 15) <= 2; }, 5);
        options.sButton1->click();
    });
    options.OptionsOpen();
    EXPECT_NEAR(moved, flat, 1.5) << "flat " << flat << " moved " << moved;
    EXPECT_NEAR(ticked - flat, 15, 2) << "flat " << flat << " ticked " << ticked;
}
