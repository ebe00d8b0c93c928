// Decoding of a stream's audio bytes. open() finds the format from the first bytes (Sniff.h) and
// picks a back-end: MPEG audio, the common case, decodes with libmpg123 in this library
// (Mpg123Decoder); every other format with FFmpeg, which lives in a module loaded on first need
// (FfmpegModule.h), so a process that plays MP3 never maps FFmpeg's libraries. A stream counts as
// open once two consecutive blocks have decoded. Output is interleaved stereo 32-bit float at the
// engine's rate, mono doubled.
//
// The base class is header-only: the FFmpeg module derives from it without linking this library.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tembrik::audio::source {
class HttpSource;
}

namespace tembrik::audio::decode {

using DecodeClock = std::chrono::steady_clock;

struct DecoderConfig {
    int outputRate = 44100;
    std::string contentType;                // the server's, as a format hint
    DecodeClock::time_point deadline;       // for opening
    std::size_t maxProbeBytes = 512 * 1024; // bytes read without audio before giving up
};

enum class OpenFailure { None, NotAudio, MissingDecoder, Timeout, Aborted };

class Decoder {
public:
    virtual ~Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens and decodes the first blocks (kept for the first decodeSome()). nullptr on failure,
    // with the reason in `failure` and `detail`.
    static std::unique_ptr<Decoder> open(std::shared_ptr<source::HttpSource> source,
                                         const DecoderConfig& config, OpenFailure& failure,
                                         std::string& detail);

    // Decodes at least one packet's worth and appends interleaved stereo frames to `out`.
    // False when the stream has ended (all audio already appended) or was aborted.
    virtual bool decodeSome(std::vector<float>& out) = 0;

    // Stream bytes (counted as the source counts them, from the first body byte) whose audio
    // decodeSome() has handed out: a metadata block at byte N sounds once audio up to N has played.
    virtual std::uint64_t position() const = 0;
    // bits per second: the codec's, or measured on the first packets; 0 unknown
    virtual std::int64_t bitRate() const = 0;
    virtual std::string formatName() const = 0; // e.g. "mp3"
    virtual std::string codecName() const = 0;  // e.g. "mpg123", "vorbis"
    // Tag text built from Vorbis/Opus comments, when they changed since the last call.
    virtual std::optional<std::string> takeCommentTag() { return std::nullopt; }

protected:
    Decoder() = default;
};

} // namespace tembrik::audio::decode
