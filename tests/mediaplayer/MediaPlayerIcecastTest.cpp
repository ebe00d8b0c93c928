// The player against the local icecast station of the test fixture (one tone per mount), heard
// through a null sink of the test's own on the fixture's sound server: other tests play the same
// mounts on the shared sink meanwhile.
#include "support/Fixtures.h"
#include "support/PlayerObserver.h"
#include "support/PrivateSink.h"
#include "support/QtPrinters.h"
#include "support/SinkRecorder.h"
#include "support/StatusOrder.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

#include <gtest/gtest.h>

namespace tembrik::mediaplayer::test {
namespace {

constexpr int kWaitMs = 30000;
constexpr int kSettleMs = 20000;

struct Mount {
    const char* path;
    double toneHz;
    int kbps; // what the status line must show; 0 where the stream declares no rate and it is measured
};

void PrintTo(const Mount& mount, std::ostream* os) {
    *os << mount.path;
}

class IcecastTest : public testing::TestWithParam<Mount> {
protected:
    void SetUp() override {
        TEMBRIK_NEED_FIXTURE(env, QStringLiteral("PULSE_SERVER"), QStringLiteral("TEMBRIK_ICECAST_URL"));
        QString error;
        ASSERT_TRUE(sink_.create(&error)) << error.toStdString();
        ASSERT_TRUE(recorder_.start(sink_.monitor(), &error)) << error.toStdString();
        url_ = env[1] + QLatin1String(GetParam().path);
    }

    std::optional<double> sounding() {
        QString trace;
        auto measured = recorder_.steadyTone(GetParam().toneHz, kSettleMs, &trace);
        if (!measured) {
            ADD_FAILURE() << "the tone never sounded steadily; last levels " << trace.toStdString();
        }
        return measured;
    }

    bool silent() {
        QString trace;
        const bool fell = recorder_.toneFallsSilent(GetParam().toneHz, kSettleMs, &trace);
        if (!fell) {
            ADD_FAILURE() << "the tone never fell silent; last levels " << trace.toStdString();
        }
        return fell;
    }

    PrivateSink sink_;
    SinkRecorder recorder_;
    QString url_;
};

TEST_P(IcecastTest, PlaysHeardAtItsVolumeShowsItsBitrateAndStops) {
    MediaPlayerConfig config;
    config.audioDevice = sink_.playerDevice();
    MediaPlayer player(config);
    PlayerObserver observer(player);
    player.setVolume(100);
    player.setUrl(url_);
    ASSERT_TRUE(observer.waitFor([](const auto& r) { return shownKbps(r.text) > 0; }, kWaitMs))
        << observer.texts().join(" | ").toStdString();
    EXPECT_TRUE(connectsBuffersAndPlays(observer.reports()));
    if (GetParam().kbps > 0) {
        EXPECT_EQ(player.status(), QStringLiteral("Воспроизведение: %1 Кбит/с").arg(GetParam().kbps));
    }

    const auto full = sounding();
    ASSERT_TRUE(full);
    ASSERT_GT(*full, 0.05) << "the mount's tone is too quiet";

    player.setVolume(40);
    const auto reduced = sounding();
    ASSERT_TRUE(reduced);
    EXPECT_NEAR(*reduced / *full, 0.4, 0.08);

    player.stop();
    EXPECT_EQ(player.playState(), PlayState::Stopped);
    EXPECT_TRUE(silent());
    EXPECT_EQ(player.status(), QStringLiteral("Остановлено"));
}

INSTANTIATE_TEST_SUITE_P(Mounts, IcecastTest,
                         testing::Values(Mount{"/mp3", 440.0, 128}, Mount{"/aac", 660.0, 96},
                                         Mount{"/ogg", 550.0, 96}, Mount{"/opus", 880.0, 0}),
                         [](const auto& testCase) { return std::string(testCase.param.path + 1); });

} // namespace
} // namespace tembrik::mediaplayer::test
