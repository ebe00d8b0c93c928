// The MP3 decoder's position: stream bytes whose audio it has handed out, which pins titles to
// the sound. Read from memory, decoded block by block.
#include <gtest/gtest.h>

#include <cstring>

#include "decode/Mpg123Decoder.h"
#include "support/AudioHelpers.h"

namespace tembrik::audio::test {
namespace {

class MemoryInput final : public decode::Input {
public:
    explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
    long read(char* dst, std::size_t n, std::optional<decode::DecodeClock::time_point>) override {
        n = std::min(n, bytes_.size() - at_);
        std::memcpy(dst, bytes_.data() + at_, n);
        at_ += n;
        return static_cast<long>(n);
    }
    std::uint64_t consumed() const override { return at_; }
    bool finished() const override { return true; }
    bool aborted() const override { return false; }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

class Mpg123Position : public ::testing::TestWithParam<int> {};

TEST_P(Mpg123Position, FollowsTheAudioHandedOut) {
    const int outputRate = GetParam();
    // 128 kbit/s at 44.1 kHz: 1152 samples in 417.96 bytes on average.
    const std::string mp3 =
        encodeTone(440, 3.0, "libmp3lame", "mp3", "128k", 44100, "-write_xing 0 -id3v2_version 0");
    ASSERT_GT(mp3.size(), 40000u);
    const double bytesPerFrame = 128000.0 / 8 * 1152 / 44100;
    const std::uint64_t offset = 1000; // the stream byte where the first frame was found
    decode::Attempt attempt;
    attempt.input = std::make_shared<MemoryInput>(mp3);
    attempt.config.outputRate = outputRate;
    attempt.format = "mp3";
    attempt.offset = offset;
    attempt.deadline = decode::DecodeClock::now() + std::chrono::seconds(10);
    decode::AttemptFailure failure;
    auto decoder = decode::Mpg123Decoder::open(attempt, failure);
    ASSERT_TRUE(decoder) << failure.detail;
    EXPECT_EQ(decoder->bitRate(), 128000);

    std::vector<float> out;
    std::uint64_t previous = 0;
    int checks = 0;
    while (decoder->decodeSome(out)) {
        const std::uint64_t position = decoder->position();
        EXPECT_GE(position, previous);
        previous = position;
        // MPEG frames whose audio is out, from the output frames at the output's rate.
        const double frames = static_cast<double>(out.size()) / 2 * 44100 / outputRate / 1152;
        const double expected = static_cast<double>(offset) + frames * bytesPerFrame;
        EXPECT_NEAR(static_cast<double>(position), expected, 2 * bytesPerFrame)
            << "after " << frames << " frames";
        ++checks;
    }
    EXPECT_GT(checks, 50);
    EXPECT_EQ(decoder->position(), offset + mp3.size());
    EXPECT_NEAR(static_cast<double>(out.size()) / 2 / outputRate, 3.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Rates, Mpg123Position, ::testing::Values(44100, 48000));

} // namespace
} // namespace tembrik::audio::test
