// The null back-end: no device, a clock. It accepts blocks at the output rate times `speed`
// (keeping 100 ms queued, like a device would) and hands each block to the capture hook.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "out/Output.h"

namespace tembrik::audio::out {
namespace {

using Clock = std::chrono::steady_clock;

class NullOutput final : public Output {
public:
    NullOutput(int rate, double speed, std::function<void(std::span<const float>)> capture)
        : rate_(rate), speed_(speed > 0 ? speed : 1.0), capture_(std::move(capture)) {
        queueFrames_ = static_cast<std::size_t>(rate_ / 10);
        minFrames_ = static_cast<std::size_t>(rate_ / 25);
    }

    std::size_t waitWritable(std::size_t maxFrames) override {
        std::unique_lock lock(mutex_);
        while (true) {
            if (interrupted_) {
                interrupted_ = false;
                return 0;
            }
            auto played = static_cast<std::size_t>(
                std::chrono::duration<double>(Clock::now() - start_).count() * rate_ * speed_);
            std::size_t queued = written_ > played ? written_ - played : 0;
            if (written_ < played) { // we were late: the device would have played silence
                written_ = played;
                queued = 0;
            }
            std::size_t writable = queueFrames_ - std::min(queued, queueFrames_);
            if (writable >= minFrames_)
                return std::min(writable, maxFrames);
            auto wait =
                std::chrono::duration<double>(static_cast<double>(minFrames_ - writable) / (rate_ * speed_));
            cv_.wait_for(lock, wait);
        }
    }

    void write(const float* stereo, std::size_t frames) override {
        {
            std::lock_guard lock(mutex_);
            written_ += frames;
        }
        if (capture_)
            capture_(std::span<const float>(stereo, frames * 2));
    }

    void pause() override {}

    void release() override {}

    std::size_t queuedFrames() override {
        std::lock_guard lock(mutex_);
        auto played = static_cast<std::size_t>(std::chrono::duration<double>(Clock::now() - start_).count() *
                                               rate_ * speed_);
        return written_ > played ? written_ - played : 0;
    }

    void resume() override {
        std::lock_guard lock(mutex_);
        start_ = Clock::now();
        written_ = 0;
    }

    void interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        cv_.notify_all();
    }

private:
    const int rate_;
    const double speed_;
    std::function<void(std::span<const float>)> capture_;
    std::size_t queueFrames_ = 0;
    std::size_t minFrames_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    Clock::time_point start_ = Clock::now(); // guarded by mutex_
    std::size_t written_ = 0;                // guarded by mutex_
    bool interrupted_ = false;               // guarded by mutex_
};

} // namespace

std::unique_ptr<Output> openNullOutput(int sampleRate, double speed,
                                       std::function<void(std::span<const float>)> capture) {
    return std::make_unique<NullOutput>(sampleRate, speed, std::move(capture));
}

} // namespace tembrik::audio::out
