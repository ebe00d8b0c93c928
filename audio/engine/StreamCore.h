// Everything of one open stream, shared by the engine's table, its download thread (through the
// source's hooks), its decode thread and the mixer (through the track).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

    // Titles in step with the sound. A metadata block is noted at the stream byte where it arrived
    // (download thread); once the decoder has turned that byte into audio it is pinned to the ring
    // frame where that audio ends (decode thread); when the output has played that frame, the tag
    // becomes the stream's and is announced (event thread, through the track's mark).
    void titleAtByte(const std::string& text, std::uint64_t byte) {
        std::lock_guard lock(tagMutex_);
        titles_.push_back({text, byte, 0, false});
    }
    // Decode thread: audio up to stream byte `decodedBytes` ends at ring frame `frame`. A title at
    // or before that byte is pinned to `frame + delayFrames` (the allowance for the codec's delay).
    void pinTitles(std::uint64_t decodedBytes, std::uint64_t frame, std::uint64_t delayFrames) {
        std::lock_guard lock(tagMutex_);
        bool changed = false;
        for (auto& title : titles_) {
            if (title.pinned)
                continue;
            if (title.byte > decodedBytes)
                break;
            title.pinned = true;
            title.frame = frame + delayFrames;
            changed = true;
        }
        if (changed)
            updateMark();
    }
    // Decode thread: a title found by the decoder itself (Ogg comments) starts the audio at `frame`.
    void titleAtFrame(const std::string& text, std::uint64_t frame) {
        std::lock_guard lock(tagMutex_);
        // Behind every title still waiting for its byte: order is kept.
        titles_.push_back({text, 0, frame, true});
        updateMark();
    }
    // Event thread: the titles whose frame has been heard, oldest first; the last becomes the tag.
    std::vector<std::string> takeHeardTitles(std::uint64_t heardFrame) {
        std::lock_guard lock(tagMutex_);
        std::vector<std::string> heard;
        while (!titles_.empty() && titles_.front().pinned && titles_.front().frame <= heardFrame) {
            heard.push_back(std::move(titles_.front().text));
            titles_.pop_front();
        }
        if (!heard.empty()) {
            tag_ = heard.back();
            liveTag_ = true;
        }
        updateMark();
        return heard;
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
    struct PendingTitle {
        std::string text;
        std::uint64_t byte = 0;  // stream byte where its block arrived
        std::uint64_t frame = 0; // ring frame whose playing makes it current, once pinned
        bool pinned = false;
    };

    void updateMark() { // tagMutex_ held
        const bool due = !titles_.empty() && titles_.front().pinned;
        track->nextMark.store(due ? titles_.front().frame : mix::Track::kNoMark, std::memory_order_release);
    }

    mutable std::mutex tagMutex_;
    std::optional<std::string> tag_;  // guarded by tagMutex_
    bool liveTag_ = false;            // guarded by tagMutex_
    std::deque<PendingTitle> titles_; // guarded by tagMutex_: in the order they arrived
};

} // namespace tembrik::audio::detail
