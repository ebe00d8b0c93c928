// A stream's decode thread: keeps the stream's ring of decoded audio topped up, in bursts, pins the
// titles that arrived with the stream's bytes to the frames where those bytes sound, and passes on
// the titles found in Vorbis/Opus comments.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decode/Decoder.h"
#include "engine/StreamCore.h"

namespace tembrik::audio::detail {

// onTag(text, frame) is called on the decode thread for each new comment tag, with the ring frame
// where the audio decoded after it starts. titleDelayFrames: see StreamCore::pinTitles().
void runDecodeThread(std::shared_ptr<StreamCore> stream, std::shared_ptr<decode::Decoder> decoder,
                     int sampleRate, std::uint64_t titleDelayFrames,
                     std::function<void(const std::string&, std::uint64_t)> onTag);

} // namespace tembrik::audio::detail
