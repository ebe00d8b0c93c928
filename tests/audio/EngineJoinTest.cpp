// A station starts a new listener at whatever byte its buffer holds: an AAC stream joined in the
// middle of an ADTS frame must lock on to the first real frame and play.
#include <gtest/gtest.h>

#include <cmath>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

TEST_F(EngineTest, AnAdtsStreamJoinedMidFrameLocksOnAndPlays) {
    startEngine();
    const std::string aac = encodeTone(1000, 4.0, "aac", "adts", "96k");
    ASSERT_GT(aac.size(), 20000u);
    server.route("/aac", [&](Connection& c) {
        const std::size_t start = std::stoul(c.query().substr(c.query().find('=') + 1));
        c.send("ICY 200 OK\r\nContent-Type: audio/aacp\r\nicy-br: 96\r\n\r\n" + aac.substr(start));
    });
    for (int i = 0; i < 20; ++i) {
        // Odd offsets spread over the first frames: inside headers, inside payloads.
        const std::size_t start = 1 + static_cast<std::size_t>(i) * 97;
        capture.clear();
        auto opened = engine.openUrl(server.url("/aac?start=" + std::to_string(start)));
        ASSERT_TRUE(opened) << "start at byte " << start << ": " << opened.error.text();
        engine.play(opened.stream);
        EXPECT_TRUE(capture.waitForSound(22050, 0.05f, 10s))
            << "start at byte " << start << ": status " << static_cast<int>(engine.status(opened.stream))
            << ", decoded " << engine.filePosition(opened.stream, Position::Current) << " of "
            << engine.filePosition(opened.stream, Position::Download) << " bytes, " << capture.frames()
            << " frames rendered";
        auto samples = capture.samples();
        std::size_t first = 0;
        while (first < samples.size() && std::fabs(samples[first]) < 0.05f)
            ++first;
        first -= first % 2;
        ASSERT_GE(samples.size(), first + 2 * (2205 + 8820)) << "start at byte " << start;
        std::span<const float> tone(samples.data() + first + 2 * 2205, 2 * 8820); // past the first frame
        EXPECT_NEAR(medianToneAmplitude(tone, 0, 1000, 44100), 0.088, 0.02) << "start at byte " << start;
        engine.freeStream(opened.stream);
        // A block mixed just before the free may still reach the output; let it land before the
        // next start is measured, or its tone would be taken for the next stream's first sound.
        capture.waitForFrames(capture.frames() + 4410, 2s);
    }
}

} // namespace
} // namespace tembrik::audio::test
