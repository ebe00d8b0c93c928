// The player's behaviour around failures, stopping and destruction, against servers in this process.
// No sound server is needed: libmpv's null audio output stands in.
#include "support/LoopbackServer.h"
#include "support/PlayerObserver.h"
#include "support/QtPrinters.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

#include <QTest>
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <optional>

namespace tembrik::mediaplayer::test {
namespace {

constexpr int kWaitMs = 10000;

MediaPlayerConfig nullOutput() {
    MediaPlayerConfig config;
    config.audioOutput = QStringLiteral("null");
    config.networkTimeoutSeconds = 5;
    return config;
}

QString streamUrl(int port) {
    return QStringLiteral("http://127.0.0.1:%1/stream.mp3").arg(port);
}

TEST(MediaPlayerTest, StartsUndefinedWithFullVolume) {
    MediaPlayer player(nullOutput());
    EXPECT_TRUE(player.isAvailable());
    EXPECT_EQ(player.playState(), PlayState::Undefined);
    EXPECT_EQ(player.status(), QString());
    EXPECT_EQ(player.volume(), 100);
}

TEST(MediaPlayerTest, VolumeStaysOnTheSlider) {
    MediaPlayer player(nullOutput());
    for (const auto& [set, kept] : {std::pair{60, 60}, {0, 0}, {150, 100}, {-5, 0}, {25, 25}}) {
        player.setVolume(set);
        EXPECT_EQ(player.volume(), kept) << "set " << set;
    }
}

TEST(MediaPlayerTest, SetsTheNumericLocaleLibmpvNeeds) {
    if (std::setlocale(LC_NUMERIC, "C.UTF-8") == nullptr) {
        GTEST_SKIP() << "no C.UTF-8 locale to start from";
    }
    MediaPlayer player(nullOutput());
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_TRUE(player.isAvailable());
}

struct DeadAddressCase {
    const char* name;
    std::optional<QByteArray> reply; // nothing: the port refuses connections
    QString path;
    QString expected;
};

void PrintTo(const DeadAddressCase& c, std::ostream* os) {
    *os << c.name;
}

class DeadAddressTest : public testing::TestWithParam<DeadAddressCase> {};

TEST_P(DeadAddressTest, ReportsAnErrorAndStaysUsable) {
    std::unique_ptr<LoopbackServer> server;
    int port = closedLoopbackPort();
    if (GetParam().reply) {
        server = std::make_unique<LoopbackServer>(*GetParam().reply);
        ASSERT_TRUE(server->isListening());
        port = server->port();
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(GetParam().path);

    auto player = std::make_unique<MediaPlayer>(nullOutput());
    PlayerObserver observer(*player);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        observer.clear();
        player->setUrl(url);
        ASSERT_TRUE(observer.waitFor([](const auto& r) { return r.state == PlayState::Ready; }, kWaitMs))
            << "attempt " << attempt << ", status: " << player->status().toStdString();
        EXPECT_EQ(observer.texts(), (QStringList{QStringLiteral("Подключение..."), GetParam().expected}))
            << "attempt " << attempt << ": " << observer.texts().join(" | ").toStdString();
    }
    player.reset();
    QTest::qWait(50);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeadAddressTest,
    testing::Values(
        DeadAddressCase{"RefusedConnection", std::nullopt, QStringLiteral("/stream.mp3"),
                        QStringLiteral("Ошибка: не удалось открыть поток")},
        DeadAddressCase{"NotFound", QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"),
                        QStringLiteral("/stream.mp3"), QStringLiteral("Ошибка: не удалось открыть поток")},
        DeadAddressCase{
            "WebPageInsteadOfAudio",
            QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><p>Station moved."
                       "</p></body></html>\r\n"),
            QStringLiteral("/stream.mp3"), QStringLiteral("Ошибка: неподдерживаемый формат")},
        DeadAddressCase{"EmptyPlaylist",
                        QByteArray("HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n#EXTM3U\r\n"),
                        QStringLiteral("/radio.m3u"), QStringLiteral("Ошибка: список воспроизведения пуст")}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(MediaPlayerTest, RefusesAddressesThatAreNotNetworkStreams) {
    MediaPlayer player(nullOutput());
    PlayerObserver observer(player);
    for (const QString& url : {QStringLiteral("file:///etc/hostname"), QStringLiteral("fd://0"),
                               QStringLiteral("av://lavfi:sine")}) {
        player.setUrl(url);
        EXPECT_EQ(player.playState(), PlayState::Ready) << url.toStdString();
        EXPECT_EQ(player.status(), QStringLiteral("Ошибка: неподдерживаемый адрес")) << url.toStdString();
    }
    // The same text each time: one report only.
    EXPECT_EQ(observer.texts(), QStringList{QStringLiteral("Ошибка: неподдерживаемый адрес")});
}

// A server that takes the connection and never answers keeps the player connecting.
class SilentServerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.isListening());
        player_ = std::make_unique<MediaPlayer>(nullOutput());
        observer_ = std::make_unique<PlayerObserver>(*player_);
        player_->setUrl(streamUrl(server_.port()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server_.accepted() == 1; }, kWaitMs));
        ASSERT_EQ(player_->playState(), PlayState::Transitioning);
        ASSERT_EQ(player_->status(), QStringLiteral("Подключение..."));
        observer_->clear();
    }

    bool waitForConnectionDropped() {
        return QTest::qWaitFor([&] { return server_.closedByClient() == 1; }, kWaitMs);
    }

    LoopbackServer server_{QByteArray()};
    std::unique_ptr<MediaPlayer> player_;
    std::unique_ptr<PlayerObserver> observer_;
};

TEST_F(SilentServerTest, DestroyingMidConnectionReturnsAndDropsTheConnection) {
    observer_.reset();
    player_.reset();
    EXPECT_TRUE(waitForConnectionDropped());
    // Wake-ups queued before the destruction must not reach the destroyed player.
    QTest::qWait(100);
}

TEST_F(SilentServerTest, StopMidConnectionStopsAndDropsTheConnection) {
    player_->stop();
    EXPECT_EQ(player_->playState(), PlayState::Stopped);
    EXPECT_EQ(player_->status(), QStringLiteral("Остановлено"));
    EXPECT_TRUE(waitForConnectionDropped());
    // libmpv's own end-of-file and idle reports for the stopped entry change nothing.
    QTest::qWait(300);
    EXPECT_EQ(observer_->texts(), QStringList{QStringLiteral("Остановлено")});
    EXPECT_EQ(player_->playState(), PlayState::Stopped);
}

TEST_F(SilentServerTest, EmptyUrlStops) {
    player_->setUrl(QString());
    EXPECT_EQ(player_->playState(), PlayState::Stopped);
    EXPECT_EQ(player_->status(), QStringLiteral("Остановлено"));
    EXPECT_TRUE(waitForConnectionDropped());
}

TEST_F(SilentServerTest, PlayWhileConnectingKeepsTheConnectionButANewUrlReconnects) {
    player_->play();
    QTest::qWait(300);
    EXPECT_EQ(server_.accepted(), 1);
    EXPECT_EQ(player_->playState(), PlayState::Transitioning);

    player_->setUrl(player_->url());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_.accepted() == 2; }, kWaitMs));
    EXPECT_TRUE(waitForConnectionDropped());
    EXPECT_EQ(player_->status(), QStringLiteral("Подключение..."));
}

TEST_F(SilentServerTest, PlayAfterStopReconnects) {
    player_->stop();
    ASSERT_TRUE(waitForConnectionDropped());
    player_->play();
    EXPECT_EQ(player_->status(), QStringLiteral("Подключение..."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_.accepted() == 2; }, kWaitMs));
}

} // namespace
} // namespace tembrik::mediaplayer::test
