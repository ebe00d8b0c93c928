// FFmpeg decoding of a stream's audio bytes, read straight from the network buffer through a
// custom AVIO context. The demuxer is chosen from the first bytes or the content type, so opening
// needs no long probe (and avformat_find_stream_info, whose analyzeduration=0 means five seconds,
// is never called): a stream counts as open once two consecutive blocks have decoded. Output is
// interleaved stereo 32-bit float at the engine's rate (libswresample), mono doubled.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/HttpSource.h"

namespace tembrik::audio::decode {

struct DecoderConfig {
    int outputRate = 44100;
    std::string contentType;                // the server's, as a format hint
    source::Clock::time_point deadline;     // for opening
    std::size_t maxProbeBytes = 512 * 1024; // bytes read without audio before giving up
};

enum class OpenFailure { None, NotAudio, Timeout, Aborted };

class Decoder {
public:
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens and decodes the first blocks (kept for the first decodeSome()). nullptr on failure,
    // with the reason in `failure` and `detail`.
    static std::unique_ptr<Decoder> open(std::shared_ptr<source::HttpSource> source,
                                         const DecoderConfig& config, OpenFailure& failure,
                                         std::string& detail);

    // Decodes at least one packet's worth and appends interleaved stereo frames to `out`.
    // False when the stream has ended (all audio already appended) or was aborted.
    bool decodeSome(std::vector<float>& out);

    // Stream bytes (counted as the source counts them, from the first body byte) whose audio
    // decodeSome() has handed out: a metadata block at byte N sounds once audio up to N has played.
    std::uint64_t position() const;
    std::int64_t bitRate() const; // bits per second: the codec's, or measured on the first packets; 0 unknown
    std::string formatName() const; // demuxer, e.g. "mp3"
    std::string codecName() const;  // e.g. "mp3float"
    // Tag text built from Vorbis/Opus comments, when they changed since the last call.
    std::optional<std::string> takeCommentTag();

private:
    Decoder();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tembrik::audio::decode
