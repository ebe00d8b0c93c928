// What a stream's first bytes are, decided before the server's content type is trusted: container
// signatures at the start (OggS, fLaC, the ASF header GUID, RIFF/WAVE, EBML), ID3v2 tags skipped,
// and MP3 or ADTS frame sync that only counts when a second frame header follows where the first
// frame ends (a station may start a listener at any byte, and one 0xFF byte proves nothing).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tembrik::audio::decode {

struct Sniffed {
    enum class Verdict {
        Audio,    // `format` at byte `offset`
        NeedMore, // nothing certain yet: look again with more bytes
        NotAudio, // `what` says what it looks like instead
    };
    Verdict verdict = Verdict::NeedMore;
    std::string format;     // demuxer name: "mp3", "aac", "ogg", "flac", "asf", "wav", "matroska"
    std::size_t offset = 0; // where the first frame (or the container) starts
    std::string what;       // for NotAudio, e.g. "gzip data", "zeros", "no audio frames in the first 64 KB"
};

// How far past the tags frame sync is looked for before the bytes are ruled out.
constexpr std::size_t kSniffWindow = 64 * 1024;

// `bytes`: the body's first bytes; `complete`: they are the whole body.
Sniffed sniffAudio(std::string_view bytes, bool complete);

} // namespace tembrik::audio::decode
