// Opening an address: connect, follow playlists (their first entry that opens, then the next ones),
// and find audio the decoder can read. Runs on the thread that called Engine::openUrl().
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/ThreadGroup.h"
#include "decode/Decoder.h"
#include "source/HttpSource.h"
#include "tembrik/audio/Engine.h"

namespace tembrik::audio::detail {

struct OpenedStream {
    std::shared_ptr<source::HttpSource> source;
    std::unique_ptr<decode::Decoder> decoder;
    source::Response response;
};

struct OpenContext {
    Options options;
    int outputRate = 44100;
    std::shared_ptr<common::ThreadGroup> threads;
    // Called with each transfer started; false when the engine was freed meanwhile (then give up).
    std::function<bool(const std::shared_ptr<source::HttpSource>&)> track;
    std::function<void(const std::shared_ptr<source::HttpSource>&)> untrack;
};

// On success the source is still in its opening phase (not accepted) and tracked.
OpenedStream openStream(const std::string& url, const OpenContext& context, OpenError& error);

} // namespace tembrik::audio::detail
