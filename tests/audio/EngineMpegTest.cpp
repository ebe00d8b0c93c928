// MPEG audio streams as stations send them, through the MP3 decoder: damaged, joined mid-frame,
// at rates and channel counts other than the output's, and changing format mid-stream.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

constexpr double kSeconds = 3.0;
const std::string kBare = "-write_xing 0 -id3v2_version 0";

std::string tone(int rate, const std::string& extra = "", const std::string& codec = "libmp3lame",
                 const std::string& muxer = "mp3", const std::string& bitrate = "128k") {
    return encodeTone(1000, kSeconds, codec, muxer, bitrate, rate, kBare + " " + extra);
}

// `length` bytes of noise after every `every` frames of a 128 kbit/s 44.1 kHz MPEG-1 layer III
// stream (frames of 417 bytes, 418 when padded).
std::string withGarbage(const std::string& audio, int every, std::size_t length) {
    std::mt19937 random(7);
    std::string out;
    int frames = 0;
    for (std::size_t at = 0; at + 4 <= audio.size();) {
        const std::size_t size = 417 + ((static_cast<unsigned char>(audio[at + 2]) >> 1) & 1);
        out += audio.substr(at, size);
        at += size;
        if (++frames % every == 0) {
            for (std::size_t i = 0; i < length; ++i)
                out += static_cast<char>(random() & 0xFF);
        }
    }
    return out;
}

struct MpegCase {
    const char* name;
    std::string (*make)();
    double seconds;   // of the tone in the stream
    double amplitude; // as measured: ffmpeg makes the stereo tone from mono at -3 dB
};

void PrintTo(const MpegCase& c, std::ostream* os) {
    *os << c.name;
}

class MpegStreams : public EngineTest, public ::testing::WithParamInterface<MpegCase> {};

TEST_P(MpegStreams, PlayTheToneToTheEnd) {
    startEngine();
    const auto& c = GetParam();
    const std::string data = c.make();
    ASSERT_GT(data.size(), 10000u) << c.name << ": ffmpeg could not make the sample";
    server.route("/mpeg", [&](Connection& conn) {
        conn.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(data.size())) + data);
    });
    auto opened = engine.openUrl(server.url("/mpeg"));
    ASSERT_TRUE(opened) << c.name << ": " << opened.error.text();
    std::atomic<bool> ended{false};
    engine.onEnd(opened.stream, [&](const EndEvent&) { ended = true; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ended.load(); }, 20s)) << c.name;
    const auto samples = capture.samples();
    std::size_t first = 0, last = samples.size();
    while (first < samples.size() && std::fabs(samples[first]) < 0.01f)
        ++first;
    while (last > first && std::fabs(samples[last - 1]) < 0.01f)
        --last;
    first -= first % 2;
    // All of it played, at the output's rate: a lost second or a wrong rate shows here.
    const double played = static_cast<double>(last - first) / 2 / 44100;
    EXPECT_NEAR(played, c.seconds, 0.15) << c.name;
    ASSERT_GT(last, first + 2 * 44100) << c.name;
    std::span<const float> middle(samples.data() + first + 2 * 22050, last - first - 2 * 44100);
    EXPECT_NEAR(medianToneAmplitude(middle, 0, 1000, 44100), c.amplitude, 0.015) << c.name;
    EXPECT_NEAR(medianToneAmplitude(middle, 1, 1000, 44100), c.amplitude, 0.015) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MpegStreams,
    ::testing::Values(
        MpegCase{"noise between frames", [] { return withGarbage(tone(44100), 10, 700); }, kSeconds, 0.088},
        MpegCase{"joined mid-frame", [] { return tone(44100).substr(1001); }, kSeconds - 0.03, 0.088},
        MpegCase{"mono at 22.05 kHz (MPEG-2)",
                 [] { return tone(22050, "-ac 1", "libmp3lame", "mp3", "48k"); }, kSeconds, 0.118},
        MpegCase{"layer II at 48 kHz", [] { return tone(48000, "", "mp2", "mp2", "192k"); }, kSeconds, 0.088},
        MpegCase{"44.1 kHz, then 24 kHz",
                 [] { return tone(44100) + tone(24000, "", "libmp3lame", "mp3", "64k"); }, 2 * kSeconds,
                 0.088}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

} // namespace
} // namespace tembrik::audio::test
