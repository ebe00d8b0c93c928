// Everything of one open stream, shared by the engine's table, its download thread (through the
// source's hooks), its decode thread and the mixer (through the track).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mix/Track.h"
#include "source/HttpSource.h"
#include "tembrik/audio/Engine.h"

namespace tembrik::audio::detail {

struct StreamCore {
    // Set while opening, then read-only.
    std::uint32_t handle = 0;
    std::shared_ptr<source::HttpSource> source;
    std::shared_ptr<mix::Track> track;
    std::uint64_t endBytes = 0; // length, or the network buffer's size in bytes

    // Guarded by EngineCore's mutex.
    std::vector<MetadataCallback> metadataListeners;
    std::vector<EndCallback> endListeners;
    std::vector<std::uint32_t> effects;

    // The latest metadata tag text.
    std::optional<std::string> tag() const {
        std::lock_guard lock(tagMutex_);
        return tag_;
    }
    // live: from a block that arrived while the stream was open (wins over the opening's tag).
    void setTag(const std::string& text, bool live) {
        std::lock_guard lock(tagMutex_);
        if (!live && liveTag_)
            return;
        tag_ = text;
        liveTag_ = liveTag_ || live;
    }

    // Freed: ends the download, wakes the decode thread. Any thread.
    void release() {
        freed.store(true, std::memory_order_release);
        if (source)
            source->abort();
        std::lock_guard lock(wakeMutex);
        wakeCv.notify_all();
    }

    std::atomic<bool> freed{false};
    std::mutex wakeMutex; // the decode thread sleeps on wakeCv between bursts
    std::condition_variable wakeCv;

private:
    mutable std::mutex tagMutex_;
    std::optional<std::string> tag_; // guarded by tagMutex_
    bool liveTag_ = false;           // guarded by tagMutex_
};

} // namespace tembrik::audio::detail
