// A stream as the mixer sees it: its decoded audio, its playing state and volume, its effect chain.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "fx/Effect.h"
#include "mix/PcmRing.h"

namespace tembrik::audio::mix {

struct Track {
    explicit Track(std::size_t ringFrames) : ring(ringFrames) {}

    // Set before the track reaches the mixer, then read-only.
    std::uint32_t streamHandle = 0;
    bool prebuffer = true;             // wait for the pre-buffer before sounding (and after starving)
    double outputSpeed = 1.0;          // how fast the output consumes, relative to real time
    std::function<bool()> prebuffered; // lock-free: is the network buffer filled enough (or done)?
    std::function<bool()> networkDry;  // lock-free: is the network buffer (nearly) empty, and more to come?
    // Called on the output thread (outside the render callback) once the output has played the ring
    // frame `nextMark`, with the ring frame heard by then; nextMark is cleared before the call.
    std::function<void(std::uint64_t heardFrame)> markHeard;

    static constexpr std::uint64_t kNoMark = ~std::uint64_t{0};
    // Ring frame (counted from the stream's first decoded frame) whose playing is awaited, or kNoMark.
    // Written by whoever holds the stream's title list lock; the output thread reads and clears it.
    std::atomic<std::uint64_t> nextMark{kNoMark};

    PcmRing ring;                         // decode thread writes, output thread reads
    std::atomic<bool> playing{false};     // written by control threads
    std::atomic<float> volume{1.0f};      // written by control threads
    std::atomic<bool> decoderDone{false}; // decode thread: everything is in the ring
    std::atomic<bool> ended{false};       // output thread: ended and played out
    std::atomic<bool> buffering{false};   // output thread: playing, but silent while it waits for data

    // Output thread only.
    std::vector<std::shared_ptr<fx::Effect>> chain;
    bool gated = true; // silent until prebufferReady()
    bool prebufferReady() const { return !prebuffer || prebuffered(); }
    float currentVolume = -1.0f; // < 0: not started yet (jump to the target)
};

} // namespace tembrik::audio::mix
