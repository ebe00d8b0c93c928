// MPEG audio (layers I-III: the common station format) decoded with libmpg123's feed interface,
// straight from the stream's network buffer; a rate other than the engine's is converted with
// libsyn123's resampler. Opened on the opener thread, then used by the stream's decode thread
// alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/Input.h"

struct mpg123_handle_struct;
struct syn123_struct;

namespace tembrik::audio::decode {

class Mpg123Decoder final : public Decoder {
public:
    // Opens at the attempt's frame and decodes until two frames gave audio.
    static std::unique_ptr<Decoder> open(const Attempt& attempt, AttemptFailure& failure);
    ~Mpg123Decoder() override;

    bool decodeSome(std::vector<float>& out) override;
    std::uint64_t position() const override { return position_; }
    std::int64_t bitRate() const override { return bitRate_; }
    std::string formatName() const override { return "mp3"; }
    std::string codecName() const override { return "mpg123"; }

private:
    enum class Step { Frame, End, Failed };

    explicit Mpg123Decoder(const Attempt& attempt);
    // Decodes the next frame, reading input as it needs, and appends the frame's audio (a frame
    // may give none) to `out`.
    Step nextFrame(std::vector<float>& out);
    bool takeFormat();
    void append(const unsigned char* audio, std::size_t bytes, std::vector<float>& out);

    std::shared_ptr<Input> input_;
    DecoderConfig config_;
    DecodeClock::time_point deadline_; // while opening
    bool opening_ = true;
    mpg123_handle_struct* handle_ = nullptr;
    syn123_struct* resampler_ = nullptr; // while the stream's rate is not the engine's
    long inRate_ = 0;
    int channels_ = 0;
    std::uint64_t base_ = 0;       // stream byte where feeding started
    std::uint64_t fed_ = 0;        // bytes fed to libmpg123
    std::uint64_t fedAtAudio_ = 0; // fed_ when a frame last gave audio
    std::uint64_t position_ = 0;
    std::int64_t bitRate_ = 0;
    int errors_ = 0; // in a row
    bool ended_ = false;
    bool timedOut_ = false;
    bool aborted_ = false;
    std::string error_;
    std::vector<float> firstAudio_; // decoded while opening, handed out by the first decodeSome()
    std::vector<float> samples_;    // one frame as decoded
    std::vector<float> resampled_;  // and at the engine's rate
};

} // namespace tembrik::audio::decode
