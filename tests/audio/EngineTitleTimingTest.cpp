// Titles in step with the sound: a station whose tone changes from 440 Hz to 880 Hz exactly where
// its second metadata block is (the first, halfway through the old tone, names the song we join), sent at
// once so that the 5 s network buffer holds the block long before its audio plays. The title (notification
// and metadataTag()) must change when the new tone is heard in the null output's samples: never before, and
// within a second after. With the immediate option it comes as soon as the block arrives, seconds ahead of
// the sound.
#include <gtest/gtest.h>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

constexpr double kOldTone = 440, kNewTone = 880;
constexpr std::size_t kWindow = 1024; // frames per measuring window
constexpr const char* kOldTitle = "StreamTitle='First Song';";
constexpr const char* kNewTitle = "StreamTitle='Second Song';";

// The first frame of the first window where the new tone sounds at more than half its level
// (the captured tone is 0.088 at full level) and louder than the old one; npos when it never does.
std::size_t newToneFrame(const std::vector<float>& samples) {
    const std::span<const float> all(samples);
    for (std::size_t at = 0; (at + kWindow) * 2 <= samples.size(); at += kWindow / 8) {
        auto window = all.subspan(at * 2, kWindow * 2);
        const double fresh = toneAmplitude(window, 0, kNewTone, 44100);
        if (fresh > 0.044 && fresh > toneAmplitude(window, 0, kOldTone, 44100))
            return at;
    }
    return std::string::npos;
}

struct TimingCase {
    const char* name;
    bool immediate;
};

void PrintTo(const TimingCase& c, std::ostream* os) {
    *os << c.name;
}

class TitleTiming : public EngineTest, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(TitleTiming, TitleChangesWhenTheNewToneIsHeard) {
    startEngine(2.0);
    Options options = engine.options();
    options.networkBufferMs = 5000;
    options.immediateMetadata = GetParam().immediate;
    engine.setOptions(options);

    // An even length, so that the second block falls exactly at its end (a zero byte between MP3
    // frames is skipped by the decoder).
    static const std::string oldTone = [] {
        auto tone =
            encodeTone(kOldTone, 6.0, "libmp3lame", "mp3", "128k", 44100, "-write_xing 0 -id3v2_version 0");
        return tone.size() % 2 ? tone + '\0' : tone;
    }();
    static const std::string newTone =
        encodeTone(kNewTone, 3.0, "libmp3lame", "mp3", "128k", 44100, "-write_xing 0 -id3v2_version 0");
    const std::string audio = oldTone + newTone;
    server.route("/live", [audio, metaint = oldTone.size() / 2](Connection& c) {
        const bool wantsMeta = c.header("icy-metadata") == "1";
        std::string header = "ICY 200 OK\r\nicy-br: 128\r\nContent-Type: audio/mpeg\r\n";
        if (wantsMeta)
            header += "icy-metaint: " + std::to_string(metaint) + "\r\n";
        // The second block sits exactly where the new tone's first frame starts.
        c.send(header + "\r\n" +
               (wantsMeta
                    ? withIcyMetadata(audio, metaint,
                                      [](int i) {
                                          return std::string(i == 0 ? kOldTitle : i == 1 ? kNewTitle : "");
                                      })
                    : audio));
        c.sleep(30s); // the station stays on the air; the test frees the stream first
    });

    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened) << opened.error.text();
    std::mutex m;
    std::condition_variable cv;
    std::optional<std::size_t> heardAt; // captured frames when the notification came
    std::optional<std::string> tagAtNotification;
    engine.onMetadata(opened.stream, [&](const MetadataEvent& e) {
        std::lock_guard lock(m);
        if (heardAt || e.tag != kNewTitle)
            return;
        heardAt = capture.frames();
        tagAtNotification = engine.metadataTag(e.stream);
        cv.notify_all();
    });
    engine.play(opened.stream);

    // The block is downloaded long before its audio plays (5 s of buffer, 6 s of old tone).
    ASSERT_TRUE(eventually(
        [&] { return engine.filePosition(opened.stream, Position::Download) > oldTone.size() + 16384; },
        10s));
    const auto tagEarly = engine.metadataTag(opened.stream);
    const std::size_t framesEarly = capture.frames();
    if (GetParam().immediate) {
        EXPECT_EQ(tagEarly, kNewTitle);
        ASSERT_TRUE(capture.waitForFrames(10 * 44100, 30s));
        engine.freeStream(opened.stream);
        const std::size_t change = newToneFrame(capture.samples());
        ASSERT_NE(change, std::string::npos) << "the new tone was never heard";
        EXPECT_GT(change, framesEarly + 44100)
            << "the immediate title should come seconds ahead of the sound";
        return;
    }
    EXPECT_NE(tagEarly, kNewTitle) << "the tag changed before its audio played";
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 30s, [&] { return heardAt.has_value(); })) << "no notification";
        EXPECT_EQ(tagAtNotification, kNewTitle);
    }
    // Let the new tone play on past the notification, to find where it began.
    ASSERT_TRUE(capture.waitForFrames(*heardAt + 44100, 20s));
    engine.freeStream(opened.stream);
    const std::size_t change = newToneFrame(capture.samples());
    ASSERT_NE(change, std::string::npos) << "the new tone was never heard";
    const auto late = static_cast<double>(*heardAt) - static_cast<double>(change);
    RecordProperty("title_after_new_tone_ms", std::to_string(static_cast<int>(late / 44.1)));
    // The whole first window carrying the new tone had been played when the title changed.
    EXPECT_GE(*heardAt, change + kWindow) << "title " << -late / 44.1 << " ms before the new tone";
    EXPECT_LE(*heardAt, change + 44100) << "title " << late / 44.1 << " ms after the new tone";
}

INSTANTIATE_TEST_SUITE_P(Table, TitleTiming,
                         ::testing::Values(TimingCase{"InStepWithTheSound", false},
                                           TimingCase{"Immediate", true}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace tembrik::audio::test
