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

    PcmRing ring;                         // decode thread writes, output thread reads
    std::atomic<bool> playing{false};     // written by control threads
    std::atomic<float> volume{1.0f};      // written by control threads
    std::atomic<bool> decoderDone{false}; // decode thread: everything is in the ring
    std::atomic<bool> ended{false};       // output thread: ended and played out
    std::atomic<bool> buffering{false};   // output thread: playing, but silent while it waits for data

    // Output thread only.
    std::vector<std::shared_ptr<fx::Effect>> chain;
    bool gated = true;
    float currentVolume = -1.0f; // < 0: not started yet (jump to the target)
};

} // namespace tembrik::audio::mix
