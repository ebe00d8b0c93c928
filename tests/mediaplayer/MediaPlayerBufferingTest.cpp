// A station slower than its own bitrate, trickled by a server inside the test: the status line must
// show the buffering libmpv does before playing, and the bitrate the station declares or the stream
// carries. libmpv's null output plays in real time, so the cache runs dry as on a real slow line.
#include "support/ChildProcess.h"
#include "support/LoopbackServer.h"
#include "support/PlayerObserver.h"
#include "support/QtPrinters.h"
#include "support/StatusOrder.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace tembrik::mediaplayer::test {
namespace {

constexpr int kWaitMs = 15000;
// Three quarters of the 128 kbit/s the tone is encoded at.
constexpr int kTrickleBytesPerSecond = 12000;

// Eight seconds of a 128 kbit/s MP3 tone, encoded once for all cases.
const QByteArray& toneMp3() {
    static const QByteArray mp3 = [] {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tone.mp3"));
        QProcess ffmpeg;
        startChild(ffmpeg, QStringLiteral("ffmpeg"),
                   {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                    QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("sine=frequency=1000:sample_rate=44100:duration=8"),
                    QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                    QStringLiteral("128k"), path});
        if (!ffmpeg.waitForFinished(20000)) {
            stopChild(ffmpeg);
            return QByteArray();
        }
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return mp3;
}

struct SlowStationCase {
    const char* name;
    QByteArray extraHeaders;
    int shownKbps;
};

void PrintTo(const SlowStationCase& c, std::ostream* os) {
    *os << c.name;
}

class SlowStationTest : public testing::TestWithParam<SlowStationCase> {};

TEST_P(SlowStationTest, BuffersThenPlaysWithTheBitrate) {
    ASSERT_FALSE(toneMp3().isEmpty()) << "ffmpeg could not encode the tone";
    LoopbackServer server("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n" + GetParam().extraHeaders +
                              "\r\n" + toneMp3(),
                          kTrickleBytesPerSecond);
    ASSERT_TRUE(server.isListening());

    MediaPlayerConfig config;
    config.audioOutput = QStringLiteral("null");
    MediaPlayer player(config);
    PlayerObserver observer(player);
    player.setUrl(QStringLiteral("http://127.0.0.1:%1/slow.mp3").arg(server.port()));
    ASSERT_TRUE(observer.waitFor([](const auto& r) { return shownKbps(r.text) > 0; }, kWaitMs))
        << observer.texts().join(" | ").toStdString();

    EXPECT_TRUE(connectsBuffersAndPlays(observer.reports()));
    const QStringList texts = observer.texts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& t) {
        return t.startsWith("Буферизация: ");
    })) << texts.join(" | ").toStdString();
    EXPECT_EQ(player.status(), QStringLiteral("Воспроизведение: %1 Кбит/с").arg(GetParam().shownKbps));
}

INSTANTIATE_TEST_SUITE_P(Cases, SlowStationTest,
                         testing::Values(SlowStationCase{"BitrateFromTheStream", QByteArray(), 128},
                                         SlowStationCase{"BitrateTheStationDeclares", "icy-br: 112\r\n", 112},
                                         SlowStationCase{"DeclaredBitrateRepeated", "icy-br: 96,96\r\n", 96}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

} // namespace
} // namespace tembrik::mediaplayer::test
