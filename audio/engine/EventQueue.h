// The engine's event thread: metadata and end notifications, delivered one at a time, in order,
// to the callbacks registered on the stream. Stale events (of a stream freed meanwhile) are dropped
// by the dispatcher, which checks the handle's generation.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/ThreadGroup.h"
#include "common/ThreadName.h"

namespace tembrik::audio::detail {

struct QueuedEvent {
    // Metadata: `tag` is announced now. TitlesHeard: the stream's pending titles up to ring frame
    // `frame` have been played (see StreamCore). End: the stream has ended and played out.
    enum class Kind { Metadata, TitlesHeard, End } kind;
    std::uint32_t stream = 0;
    std::string tag;
    std::uint64_t frame = 0;
};

class EventQueue : public std::enable_shared_from_this<EventQueue> {
public:
    using Dispatch = std::function<void(const QueuedEvent&)>;

    static std::shared_ptr<EventQueue> start(std::shared_ptr<common::ThreadGroup> threads,
                                             Dispatch dispatch) {
        auto queue = std::shared_ptr<EventQueue>(new EventQueue(std::move(dispatch)));
        threads->spawn([queue] { queue->run(); });
        return queue;
    }

    void post(QueuedEvent event) {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        events_.push_back(std::move(event));
        cv_.notify_one();
    }

    // Drops what is queued; the thread ends once any event in progress is delivered.
    void stop() {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        events_.clear();
        cv_.notify_one();
    }

private:
    explicit EventQueue(Dispatch dispatch) : dispatch_(std::move(dispatch)) {}

    void run() {
        common::nameThisThread("audio-events");
        while (true) {
            QueuedEvent event;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return stopping_ || !events_.empty(); });
                if (stopping_)
                    break;
                event = std::move(events_.front());
                events_.pop_front();
            }
            dispatch_(event);
        }
        dispatch_ = nullptr;
    }

    Dispatch dispatch_; // event thread only (after construction)
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<QueuedEvent> events_; // guarded by mutex_
    bool stopping_ = false;          // guarded by mutex_
};

} // namespace tembrik::audio::detail
