// Decoded audio between a stream's decode thread (the one writer) and the output thread (the one
// reader): a lock-free ring of interleaved stereo float frames, allocated once.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

namespace tembrik::audio::mix {

class PcmRing {
public:
    explicit PcmRing(std::size_t capacityFrames)
        : capacity_(std::max<std::size_t>(capacityFrames, 1)), data_(capacity_ * 2) {}

    std::size_t capacity() const { return capacity_; }
    std::size_t available() const { // frames ready to read
        return written_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire);
    }
    std::size_t space() const { return capacity_ - available(); }
    std::size_t totalRead() const { return read_.load(std::memory_order_acquire); } // frames ever read

    // Writer side (decode thread). Returns the frames written.
    std::size_t write(const float* stereo, std::size_t frames) {
        const std::size_t w = written_.load(std::memory_order_relaxed);
        const std::size_t r = read_.load(std::memory_order_acquire);
        frames = std::min(frames, capacity_ - (w - r));
        copyIn(w % capacity_, stereo, frames);
        written_.store(w + frames, std::memory_order_release);
        return frames;
    }

    // Reader side (output thread). Returns the frames read.
    std::size_t read(float* stereo, std::size_t frames) {
        const std::size_t r = read_.load(std::memory_order_relaxed);
        const std::size_t w = written_.load(std::memory_order_acquire);
        frames = std::min(frames, w - r);
        copyOut(r % capacity_, stereo, frames);
        read_.store(r + frames, std::memory_order_release);
        return frames;
    }

private:
    void copyIn(std::size_t at, const float* src, std::size_t frames) {
        std::size_t first = std::min(frames, capacity_ - at);
        std::memcpy(&data_[at * 2], src, first * 2 * sizeof(float));
        if (frames > first)
            std::memcpy(&data_[0], src + first * 2, (frames - first) * 2 * sizeof(float));
    }
    void copyOut(std::size_t at, float* dst, std::size_t frames) const {
        std::size_t first = std::min(frames, capacity_ - at);
        std::memcpy(dst, &data_[at * 2], first * 2 * sizeof(float));
        if (frames > first)
            std::memcpy(dst + first * 2, &data_[0], (frames - first) * 2 * sizeof(float));
    }

    const std::size_t capacity_;
    std::vector<float> data_;
    std::atomic<std::size_t> written_{0}; // frames ever written; decode thread
    std::atomic<std::size_t> read_{0};    // frames ever read; output thread
};

} // namespace tembrik::audio::mix
