#include "StatusChannel.h"

#include <QMetaObject>
#include <QThread>
#include <memory>

void StatusChannel::open(QObject* receiver, Handler handler) {
    std::lock_guard lock(mutex_);
    receiver_ = receiver;
    handler_ = std::move(handler);
    closed_ = false;
}

void StatusChannel::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        receiver_ = nullptr;
        ++generation_;
    }
    handled_.notify_all();
}

bool StatusChannel::send(const StatusReport& report) {
    std::unique_lock lock(mutex_);
    if (closed_ || !receiver_)
        return false;
    QObject* receiver = receiver_;
    if (QThread::currentThread() == receiver->thread()) {
        // Already on the GUI thread: handle in place, as a synchronous send does.
        lock.unlock();
        handler_(report);
        return true;
    }
    // The flag lives as long as either side needs it: the queued call may run after a closed
    // channel let the sender go.
    auto done = std::make_shared<bool>(false);
    const auto generation = generation_;
    QMetaObject::invokeMethod(
        receiver,
        [this, report, done] {
            {
                std::lock_guard l(mutex_);
                if (closed_)
                    return;
            }
            // The sender is let go however the handler ends: an error it raises goes on to the
            // application's error box, and the worker must not wait for a reply that never comes.
            struct Release {
                StatusChannel* channel;
                bool* done;
                ~Release() {
                    {
                        std::lock_guard l(channel->mutex_);
                        *done = true;
                    }
                    channel->handled_.notify_all();
                }
            } release{this, done.get()};
            handler_(report);
        },
        Qt::QueuedConnection);
    handled_.wait(lock, [&] { return *done || generation != generation_; });
    return *done;
}

StatusChannel& MainStatusChannel() {
    static StatusChannel channel;
    return channel;
}
