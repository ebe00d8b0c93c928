#include "Termination.h"

#include "MpvLibrary.h"

#include <atomic>
#include <memory>
#include <thread>

namespace tembrik::mediaplayer::detail {

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

} // namespace

bool terminateWithin(mpv_handle* handle, std::chrono::milliseconds patience) {
    // Set by the helper thread, read by the caller; shared so that it outlives whichever lets go first.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([handle, done] {
        mpv()->terminateDestroy(handle);
        done->store(true);
    }).detach();
    // A short poll on the monotonic clock: immune to wall-clock steps, and it happens once per player.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done->load()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

} // namespace tembrik::mediaplayer::detail
