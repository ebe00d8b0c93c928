#include "Termination.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tembrik::mediaplayer::detail {

bool terminateWithin(mpv_handle* handle, std::chrono::milliseconds patience) {
    // Shared with the helper thread, which may outlive the caller; guarded by mutex.
    struct Completion {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    auto completion = std::make_shared<Completion>();
    std::thread([handle, completion] {
        mpv_terminate_destroy(handle);
        {
            const std::lock_guard lock(completion->mutex);
            completion->done = true;
        }
        completion->finished.notify_all();
    }).detach();
    std::unique_lock lock(completion->mutex);
    return completion->finished.wait_for(lock, patience, [&] { return completion->done; });
}

} // namespace tembrik::mediaplayer::detail
