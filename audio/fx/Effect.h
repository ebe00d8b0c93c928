// The effect stage: effects process a stream's decoded audio (interleaved stereo floats) in place,
// on the output thread, inside the render callback (see mix/Mixer.cpp for its contract). Their
// parameters cross from the calling thread by a lock-free sequence record (ParamSlot), so a change
// is picked up at the next rendered block.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tembrik::audio::fx {

// N floats written by one thread at a time (the caller serialises writers) and read by the audio
// thread without locks: a sequence lock whose every field is atomic.
template <std::size_t N> class ParamSlot {
public:
    void store(const std::array<float, N>& values) {
        seq_.fetch_add(1, std::memory_order_acq_rel); // odd: being written
        for (std::size_t i = 0; i < N; ++i)
            values_[i].store(values[i], std::memory_order_release);
        seq_.fetch_add(1, std::memory_order_release); // even: complete
    }

    // Audio thread: true, with `out` filled, when a complete record newer than `seen` is there.
    bool loadIfChanged(std::array<float, N>& out, std::uint32_t& seen) const {
        std::uint32_t before = seq_.load(std::memory_order_acquire);
        if (before == seen || (before & 1u) != 0)
            return false;
        // Acquire loads keep the second look at seq_ after them (no fence: TSan does not model fences).
        for (std::size_t i = 0; i < N; ++i)
            out[i] = values_[i].load(std::memory_order_acquire);
        if (seq_.load(std::memory_order_relaxed) != before)
            return false;
        seen = before;
        return true;
    }

private:
    std::atomic<std::uint32_t> seq_{0};
    std::array<std::atomic<float>, N> values_{};
};

class Effect {
public:
    explicit Effect(int priority) : priority_(priority) {}
    virtual ~Effect() = default;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    int priority() const { return priority_; }

    // Audio thread, render callback: no locks, no allocation, no logging, no blocking.
    virtual void process(float* stereo, std::size_t frames) = 0;

private:
    const int priority_;
};

} // namespace tembrik::audio::fx
