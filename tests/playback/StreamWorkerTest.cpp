#include "WorkerFixture.h"

#include "ui/ErrorBox.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <stdexcept>

using Worker = WorkerFixture;

TEST_F(Worker, BufferingReportsUntilTheFillPassesThreeQuarters) {
    const struct {
        const char* name;
        std::deque<int> fills;
        std::vector<int> reported;
    } cases[] = {
        {"climbs past 75", {10, 50, 75, 80, 90}, {10, 50, 75, 80}},
        {"first pass above", {76, 10}, {76}},
        {"end query fails at once", {-1000, 90}, {}},
        {"end position zero", {-2000, 90}, {}},
        {"negative fill ends the wait, shown as 0", {-3, 50}, {0}},
        {"a fill past the buffer's size is shown as 100", {40, 136, 182, 273}, {40, 100}},
        {"fails after one pass", {10, -1000}, {10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        ResetPlayerState();
        audio.fills = c.fills;
        audio.tag = "StreamTitle='Artist - Song';";
        State().VolumePosition = 40;
        const auto opened = audio.openedUrls.size();
        playback::StartStreamWorker("http://127.0.0.1:1/mp3");
        RunWorkers();
        EXPECT_EQ(Buffering(), c.reported);
        // Whatever the buffering did, the stream is set up and plays.
        ASSERT_EQ(audio.openedUrls.size(), opened + 1);
        const std::uint32_t stream = State().StreamHandle;
        EXPECT_NE(stream, 0u);
        EXPECT_TRUE(audio.called("play " + std::to_string(stream)));
        EXPECT_TRUE(audio.called("volume " + std::to_string(stream) + " 0.40"));
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.front().code, StatusConnecting);
        EXPECT_EQ(reports.back().code, StatusTitle);
        EXPECT_EQ(reports.back().text, "Artist - Song");
        EXPECT_NE(State().EqualizerFx[0].load(), 0u);
        EXPECT_EQ(audio.effects.at(State().EqualizerFx[0]).stream, stream);
    }
}

TEST_F(Worker, ADownloadThatStallsWhileBufferingStartsTheStreamAnyway) {
    playback::SetWorkerHooks({.streamEnded = {},
                              .downloaded = {},
                              .bufferingPollInterval = std::chrono::milliseconds(1),
                              .bufferingStallLimit = std::chrono::milliseconds(200)});
    // The fill stays at 40 %: nothing more arrives.
    audio.fills = std::deque<int>(1000000, 40);
    playback::StartStreamWorker("http://127.0.0.1:1/stalls");
    RunWorkers();
    const std::uint32_t stream = State().StreamHandle;
    EXPECT_TRUE(audio.called("play " + std::to_string(stream)));
    EXPECT_FALSE(Buffering().empty());
}

TEST_F(Worker, AFailedOpenReportsFailureAndPlaysNothing) {
    audio.failOpen = true;
    State().StreamHandle = 7;
    playback::StartStreamWorker("http://127.0.0.1:1/dead");
    RunWorkers();
    EXPECT_EQ(Codes(), (std::vector<int>{StatusConnecting, StatusFailed}));
    EXPECT_TRUE(audio.called("free 7")); // the previous stream goes first
    for (const auto& c : audio.calls)
        EXPECT_EQ(c.rfind("play", 0), std::string::npos) << c;
}

TEST_F(Worker, NoTitleReportWithoutMetadata) {
    audio.fills = {90};
    audio.tag.reset();
    playback::StartStreamWorker("http://127.0.0.1:1/mp3");
    RunWorkers();
    EXPECT_EQ(Codes(), (std::vector<int>{StatusConnecting, StatusBuffering}));
}

TEST_F(Worker, LongAddressesAreCutTo255CharactersNeverInsideOne) {
    const std::string base = "http://127.0.0.1:1/";
    const std::string cyrillic = "\xD0\xB6";      // "ж", two bytes
    const std::string chinese = "\xE6\x97\xA5";   // "日", three bytes
    const std::string emoji = "\xF0\x9F\x93\xBB"; // a radio, four bytes
    const auto repeat = [](const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i)
            out += text;
        return out;
    };
    const struct {
        const char* name;
        std::string url;
        std::string opened;
    } cases[] = {
        {"ASCII", base + std::string(281, 'a'), base + std::string(236, 'a')},
        {"exactly 255 characters", base + std::string(236, 'a'), base + std::string(236, 'a')},
        {"two-byte characters", base + repeat(cyrillic, 300), base + repeat(cyrillic, 236)},
        {"a character across byte 255", base + std::string(235, 'a') + chinese + emoji + "tail",
         base + std::string(235, 'a') + chinese},
        {"a four-byte character is the 255th", base + std::string(235, 'a') + emoji + "x",
         base + std::string(235, 'a') + emoji},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        audio.fills = {90};
        const auto opened = audio.openedUrls.size();
        playback::StartStreamWorker(c.url);
        RunWorkers();
        ASSERT_EQ(audio.openedUrls.size(), opened + 1);
        EXPECT_EQ(audio.openedUrls.back(), c.opened);
    }
}

TEST_F(Worker, ASecondRequestDuringBufferingWins) {
    // The first stream stays below the threshold for a long time.
    audio.fills = std::deque<int>(100000, 10);
    playback::StartStreamWorker("http://127.0.0.1:1/first");
    QElapsedTimer t;
    t.start();
    while (Buffering().size() < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents();
    ASSERT_GE(Buffering().size(), 3u);
    const std::uint32_t first = State().StreamHandle;

    {
        std::lock_guard lock(audio.mutex); // the first worker is still running
        audio.fills = {90};
    }
    playback::StartStreamWorker("http://127.0.0.1:1/second");
    RunWorkers();
    const std::uint32_t second = State().StreamHandle;
    EXPECT_NE(second, first);
    EXPECT_TRUE(audio.called("free " + std::to_string(first)));
    EXPECT_TRUE(audio.called("play " + std::to_string(second)));
    EXPECT_FALSE(audio.called("play " + std::to_string(first)));
    // The outdated worker left the effect handles of the new stream alone.
    for (const auto& fx : State().EqualizerFx)
        EXPECT_EQ(audio.effects.at(fx).stream, second);
    EXPECT_EQ(audio.effects.at(State().ReverbFx).stream, second);
}

TEST_F(Worker, TheEndOfTheCurrentStreamIsReportedWithItsPlayingTime) {
    std::vector<std::uint64_t> ended;
    playback::SetWorkerHooks(
        {.streamEnded = [&](std::uint64_t request, std::chrono::milliseconds) { ended.push_back(request); },
         .downloaded = {},
         .bufferingPollInterval = std::chrono::milliseconds(0)});
    audio.fills = {90};
    const auto request = playback::StartStreamWorker("http://127.0.0.1:1/mp3");
    RunWorkers();
    const std::uint32_t stream = State().StreamHandle;
    ASSERT_TRUE(audio.endSyncs.count(stream));
    audio.endSyncs[stream]();
    EXPECT_EQ(ended, (std::vector<std::uint64_t>{request}));
    // Once a newer request exists, the old stream's end no longer counts.
    playback::CancelStreamWorkers();
    audio.endSyncs[stream]();
    EXPECT_EQ(ended.size(), 1u);
}

TEST(StatusChannelTest, AClosedChannelReleasesWaitingSenders) {
    QObject receiver;
    StatusChannel channel;
    channel.open(&receiver, [](const StatusReport&) {});
    std::atomic<int> result{-1};
    // The sender waits on a GUI thread that is not handling events; closing must free it.
    QThread* sender = QThread::create([&] { result = channel.send({StatusConnecting, 0, {}}) ? 1 : 0; });
    sender->start();
    QThread::msleep(50);
    EXPECT_EQ(result.load(), -1);
    channel.close();
    EXPECT_TRUE(sender->wait(5000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(channel.send({StatusConnecting, 0, {}}));
    delete sender;
    QCoreApplication::processEvents(); // the late queued call finds the channel closed
}

TEST(StatusChannelTest, AHandlerThatRaisesStillReleasesTheSender) {
    QObject receiver;
    StatusChannel channel;
    channel.open(&receiver, [](const StatusReport&) { throw std::runtime_error("File not found"); });
    std::atomic<int> result{-1};
    QThread* sender = QThread::create([&] { result = channel.send({StatusConnecting, 0, {}}) ? 1 : 0; });
    sender->start();
    // The GUI thread handles the report; the error ends the handler in the application's error box.
    QStringList boxes;
    SetMessageBoxHookForTesting([&](const QString& text, bool) { boxes.append(text); });
    for (int i = 0; i < 500 && !sender->wait(10); ++i)
        QCoreApplication::processEvents();
    SetMessageBoxHookForTesting({});
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(boxes, QStringList{"File not found"});
    channel.close(); // frees a sender still waiting if the handler's error kept it
    sender->wait();
    delete sender;
}
