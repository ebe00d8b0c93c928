// A stream's decode thread: keeps the stream's ring of decoded audio topped up, in bursts, and
// passes on the titles found in Vorbis/Opus comments.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "decode/Decoder.h"
#include "engine/StreamCore.h"

namespace tembrik::audio::detail {

// onTag(text) is called on the decode thread for each new comment tag.
void runDecodeThread(std::shared_ptr<StreamCore> stream, std::shared_ptr<decode::Decoder> decoder,
                     int sampleRate, std::function<void(const std::string&)> onTag);

} // namespace tembrik::audio::detail
