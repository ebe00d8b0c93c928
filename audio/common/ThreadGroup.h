// Accounting for the library's threads. Every thread the library starts runs detached and is
// counted here; free() waits until every counted thread has either finished or is inside a
// callback of the library's user (which may be waiting for the very thread that calls free()).
// Such a thread finishes on its own once the callback returns.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tembrik::audio::common {

class ThreadGroup : public std::enable_shared_from_this<ThreadGroup> {
public:
    // Runs fn on a new detached thread; the group outlives it.
    void spawn(std::function<void()> fn) {
        {
            std::lock_guard lock(mutex_);
            ++active_;
        }
        std::thread([self = shared_from_this(), fn = std::move(fn)]() mutable {
            fn();
            fn = nullptr; // release captured state before the group is told
            self->exited();
        }).detach();
    }

    // Waits until every thread has finished or is inside a user callback.
    void waitIdle() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return active_ <= inCallback_; });
    }

    // Marks the calling library thread as being inside a user callback while it lives.
    class CallbackScope {
    public:
        explicit CallbackScope(ThreadGroup& group) : group_(group) {
            std::lock_guard lock(group_.mutex_);
            ++group_.inCallback_;
            group_.cv_.notify_all();
        }
        ~CallbackScope() {
            std::lock_guard lock(group_.mutex_);
            --group_.inCallback_;
        }
        CallbackScope(const CallbackScope&) = delete;
        CallbackScope& operator=(const CallbackScope&) = delete;

    private:
        ThreadGroup& group_;
    };

private:
    void exited() {
        std::lock_guard lock(mutex_);
        --active_;
        cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    int active_ = 0;     // guarded by mutex_
    int inCallback_ = 0; // guarded by mutex_
};

} // namespace tembrik::audio::common
