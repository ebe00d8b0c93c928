#include "source/IcyDemuxer.h"

#include <algorithm>
#include <cstring>

namespace tembrik::audio::source {

void IcyDemuxer::feed(const char* data, std::size_t length, const AudioSink& audio,
                      const MetadataSink& metadata) {
    if (metaint_ == 0) {
        if (length > 0)
            audio(data, length);
        return;
    }
    if (!started_) {
        started_ = true;
        state_ = State::Audio;
        remaining_ = metaint_;
    }
    while (length > 0) {
        switch (state_) {
        case State::Audio: {
            std::size_t n = std::min(remaining_, length);
            audio(data, n);
            data += n;
            length -= n;
            remaining_ -= n;
            if (remaining_ == 0)
                state_ = State::Length;
            break;
        }
        case State::Length: {
            auto blocks = static_cast<unsigned char>(*data);
            ++data;
            --length;
            if (blocks == 0) {
                state_ = State::Audio;
                remaining_ = metaint_;
            } else {
                state_ = State::Text;
                remaining_ = std::size_t{blocks} * 16;
                text_.clear();
            }
            break;
        }
        case State::Text: {
            std::size_t n = std::min(remaining_, length);
            text_.append(data, n);
            data += n;
            length -= n;
            remaining_ -= n;
            if (remaining_ == 0) {
                std::string_view text(text_.data(), strnlen(text_.data(), text_.size()));
                if (!text.empty())
                    metadata(text);
                state_ = State::Audio;
                remaining_ = metaint_;
            }
            break;
        }
        }
    }
}

} // namespace tembrik::audio::source
