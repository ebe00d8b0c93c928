#pragma once
// A piece of work on a thread of its own, so the thread that started it can go on handling its
// events while it waits. The owner may cancel it; destroying the task cancels it and waits for it,
// which is quick because transfers check the flag several times a second.
#include "tembrik/net/Http.h"

#include <exception>
#include <functional>
#include <thread>

namespace tembrik::net {

class BackgroundTask {
public:
    using Work = std::function<void(const CancelFlag& cancel)>;
    // `finished` runs on the task's thread once `work` has returned (also after a cancel).
    BackgroundTask(Work work, std::function<void()> finished);
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    void cancel() { cancel_ = true; }
    bool done() const { return done_.load(); }
    // What escaped `work`, once done(); null when it returned normally.
    std::exception_ptr error() const { return done() ? error_ : nullptr; }

private:
    CancelFlag cancel_{false};
    std::atomic<bool> done_{false};
    std::exception_ptr error_; // written by the task's thread before done_, read after it
    std::thread thread_;       // last: starts once the flags exist
};

} // namespace tembrik::net
