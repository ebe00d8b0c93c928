// What a decoder back-end reads through: the stream's network buffer, behind a small virtual
// interface so that the FFmpeg module needs none of this library's code. Header-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/Decoder.h"

namespace tembrik::audio::decode {

class Input {
public:
    virtual ~Input() = default;
    // Up to n bytes, waiting until some are there (until `deadline`, when given): the count, or
    // one of these.
    static constexpr long kEnd = 0, kAborted = -1, kTimedOut = -2;
    virtual long read(char* dst, std::size_t n, std::optional<DecodeClock::time_point> deadline) = 0;
    virtual std::uint64_t consumed() const = 0; // bytes read since the first body byte
    virtual bool finished() const = 0;          // the download has ended: what is buffered is all
    virtual bool aborted() const = 0;
};

// One try at opening a format, from the stream byte `offset` on (the input already stands there).
struct Attempt {
    std::shared_ptr<Input> input;
    DecoderConfig config;
    std::string format;               // demuxer name, e.g. "ogg"
    std::uint64_t offset = 0;         // stream byte where reading starts
    DecodeClock::time_point deadline; // this attempt's share of the time-out
};

// Why an attempt failed.
struct AttemptFailure {
    bool timedOut = false;
    bool aborted = false;
    std::string detail;
};

} // namespace tembrik::audio::decode
