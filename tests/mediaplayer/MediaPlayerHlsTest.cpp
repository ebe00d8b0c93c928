// The player against live HLS stations that ffmpeg writes and Python's http.server serves on loopback,
// heard through a null sink of the test's own on the fixture's sound server. Each station plays its
// own tone, so the recording tells which station is heard, and how loud.
#include "support/Fixtures.h"
#include "support/HlsStation.h"
#include "support/LoopbackServer.h"
#include "support/PlayerObserver.h"
#include "support/PrivateSink.h"
#include "support/QtPrinters.h"
#include "support/SinkRecorder.h"
#include "support/StatusOrder.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace tembrik::mediaplayer::test {
namespace {

constexpr int kWaitMs = 30000;
constexpr int kSettleMs = 20000;

struct Station {
    double toneHz;
    int kbps;
};
constexpr Station kStationA{2750.0, 128};
constexpr Station kStationB{3300.0, 64};

class HlsTest : public testing::Test {
protected:
    // The stations start with the first test that runs, and serve all tests of the suite.
    static void startStations() {
        if (stationA_ != nullptr) {
            return;
        }
        stationA_ = new HlsStation;
        stationB_ = new HlsStation;
        stationA_->launch(kStationA.toneHz, kStationA.kbps);
        stationB_->launch(kStationB.toneHz, kStationB.kbps);
        live_ = stationA_->waitUntilLive(&error_) && stationB_->waitUntilLive(&error_);
    }
    static void TearDownTestSuite() {
        delete stationA_;
        delete stationB_;
    }

    void SetUp() override {
        TEMBRIK_NEED_FIXTURE(env, QStringLiteral("PULSE_SERVER"));
        startStations();
        ASSERT_TRUE(live_) << error_.toStdString();
        QString error;
        ASSERT_TRUE(sink_.create(&error)) << error.toStdString();
        ASSERT_TRUE(recorder_.start(sink_.monitor(), &error)) << error.toStdString();
    }

    // A player on the test's own sink.
    MediaPlayerConfig heardConfig() const {
        MediaPlayerConfig config;
        config.audioDevice = sink_.playerDevice();
        return config;
    }

    std::optional<double> sounding(double toneHz) {
        QString trace;
        auto measured = recorder_.steadyTone(toneHz, kSettleMs, &trace);
        if (!measured) {
            ADD_FAILURE() << "tone " << toneHz << " Hz never sounded steadily; last levels "
                          << trace.toStdString();
        }
        return measured;
    }

    bool silent(double toneHz) {
        QString trace;
        const bool fell = recorder_.toneFallsSilent(toneHz, kSettleMs, &trace);
        if (!fell) {
            ADD_FAILURE() << "tone " << toneHz << " Hz never fell silent; last levels "
                          << trace.toStdString();
        }
        return fell;
    }

    static bool waitForBitrate(PlayerObserver& observer) {
        return observer.waitFor([](const auto& r) { return shownKbps(r.text) > 0; }, kWaitMs);
    }

    static inline HlsStation* stationA_ = nullptr;
    static inline HlsStation* stationB_ = nullptr;
    static inline bool live_ = false;
    static inline QString error_;
    PrivateSink sink_;
    SinkRecorder recorder_;
};

TEST_F(HlsTest, StatusTextsInOrderEndingInTheStationsBitrate) {
    for (const auto& [station, info] : {std::pair{stationA_, kStationA}, std::pair{stationB_, kStationB}}) {
        SCOPED_TRACE(info.kbps);
        MediaPlayer player;
        PlayerObserver observer(player);
        player.setUrl(station->playlistUrl());
        ASSERT_TRUE(waitForBitrate(observer)) << player.status().toStdString();
        EXPECT_TRUE(connectsBuffersAndPlays(observer.reports()));
        EXPECT_EQ(player.status(), QStringLiteral("Воспроизведение: %1 Кбит/с").arg(info.kbps));
    }
}

TEST_F(HlsTest, VolumeSoundsAsLoudAsOnTheMainEngineAndStopSilences) {
    MediaPlayer player(heardConfig());
    PlayerObserver observer(player);
    player.setVolume(100);
    player.setUrl(stationA_->playlistUrl());
    ASSERT_TRUE(waitForBitrate(observer)) << player.status().toStdString();
    const auto full = sounding(kStationA.toneHz);
    ASSERT_TRUE(full);
    ASSERT_GT(*full, 0.05) << "the station's tone is too quiet";

    // The main engine scales samples by position / 100.
    for (int position : {50, 25, 10}) {
        SCOPED_TRACE(position);
        player.setVolume(position);
        const auto measured = sounding(kStationA.toneHz);
        ASSERT_TRUE(measured);
        EXPECT_NEAR(*measured / *full, position / 100.0, 0.2 * position / 100.0);
    }
    player.setVolume(0);
    EXPECT_TRUE(silent(kStationA.toneHz));

    player.setVolume(100);
    const auto restored = sounding(kStationA.toneHz);
    ASSERT_TRUE(restored);
    EXPECT_NEAR(*restored / *full, 1.0, 0.2);

    player.stop();
    EXPECT_EQ(player.playState(), PlayState::Stopped);
    EXPECT_EQ(player.status(), QStringLiteral("Остановлено"));
    EXPECT_TRUE(silent(kStationA.toneHz));
    EXPECT_EQ(player.status(), QStringLiteral("Остановлено"));
}

TEST_F(HlsTest, ANewUrlReplacesTheStationHeard) {
    MediaPlayer player(heardConfig());
    PlayerObserver observer(player);
    player.setUrl(stationA_->playlistUrl());
    ASSERT_TRUE(waitForBitrate(observer));
    ASSERT_TRUE(sounding(kStationA.toneHz));

    observer.clear();
    player.setUrl(stationB_->playlistUrl());
    ASSERT_TRUE(waitForBitrate(observer));
    EXPECT_TRUE(connectsBuffersAndPlays(observer.reports()));
    EXPECT_EQ(player.status(), QStringLiteral("Воспроизведение: 64 Кбит/с"));
    EXPECT_TRUE(sounding(kStationB.toneHz));
    EXPECT_TRUE(silent(kStationA.toneHz));
}

TEST_F(HlsTest, PlaylistFilesAreResolvedPastDeadEntries) {
    const QString dead = QStringLiteral("http://127.0.0.1:%1/gone.mp3").arg(closedLoopbackPort());
    const QString live = stationA_->playlistUrl();
    const std::pair<const char*, QString> playlists[] = {
        {"radio.pls",
         QStringLiteral("[playlist]\r\nNumberOfEntries=2\r\nFile1=%1\r\nTitle1=Gone\r\n\r\nFile2=%2\r\n"
                        "Title2=Live\r\nVersion=2\r\n")
             .arg(dead, live)},
        {"radio.m3u",
         QStringLiteral("#EXTM3U\r\n\r\n#EXTINF:-1,Gone\r\n%1\r\n#EXTINF:-1,Live\r\n%2\r\n").arg(dead, live)},
    };
    for (const auto& [name, content] : playlists) {
        SCOPED_TRACE(name);
        QFile file(stationA_->folder() + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
        file.close();

        MediaPlayer player;
        PlayerObserver observer(player);
        player.setUrl(stationA_->urlOf(QLatin1String(name)));
        ASSERT_TRUE(waitForBitrate(observer)) << observer.texts().join(" | ").toStdString();
        EXPECT_EQ(player.status(), QStringLiteral("Воспроизведение: 128 Кбит/с"));
        EXPECT_EQ(observer.texts().front(), QStringLiteral("Подключение..."));
    }
}

TEST_F(HlsTest, DestroyingWhilePlayingSilences) {
    auto player = std::make_unique<MediaPlayer>(heardConfig());
    PlayerObserver observer(*player);
    player->setUrl(stationA_->playlistUrl());
    ASSERT_TRUE(waitForBitrate(observer));
    ASSERT_TRUE(sounding(kStationA.toneHz));
    player.reset();
    EXPECT_TRUE(silent(kStationA.toneHz));
}

TEST_F(HlsTest, AMissingAudioOutputIsReportedAsAnError) {
    MediaPlayerConfig config;
    config.audioOutput = QStringLiteral("tembrik-no-such-output");
    MediaPlayer player(config);
    PlayerObserver observer(player);
    player.setUrl(stationA_->playlistUrl());
    ASSERT_TRUE(observer.waitFor([](const auto& r) { return r.state == PlayState::Ready; }, kWaitMs))
        << player.status().toStdString();
    EXPECT_EQ(player.status(), QStringLiteral("Ошибка: звуковое устройство недоступно"));
}

} // namespace
} // namespace tembrik::mediaplayer::test
