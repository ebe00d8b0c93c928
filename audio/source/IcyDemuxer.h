// Separates SHOUTcast/icecast ("ICY") metadata blocks from the audio bytes of a stream.
// With "icy-metaint: N" the server sends N audio bytes, then one length byte L, then 16 * L bytes
// of metadata text (NUL-padded), then N audio bytes again, and so on. Blocks may be split
// anywhere across the pieces the network delivers.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tembrik::audio::source {

class IcyDemuxer {
public:
    using AudioSink = std::function<void(const char* data, std::size_t length)>;
    using MetadataSink = std::function<void(std::string_view text)>;

    // metaint 0: no metadata, every byte is audio.
    explicit IcyDemuxer(std::size_t metaint = 0) : metaint_(metaint) {}

    // Feeds the next piece of the stream. Audio goes to `audio` in order (possibly in several
    // pieces); every complete metadata block whose text (up to its first NUL) is not empty goes to
    // `metadata`. An incomplete block at the end of the stream is never reported.
    void feed(const char* data, std::size_t length, const AudioSink& audio, const MetadataSink& metadata);

    std::size_t metaint() const { return metaint_; }

private:
    enum class State { Audio, Length, Text };
    std::size_t metaint_;
    State state_ = State::Audio;
    std::size_t remaining_ = 0; // audio bytes left before the next length byte, or text bytes left
    bool started_ = false;
    std::string text_;
};

} // namespace tembrik::audio::source
