#pragma once

#include <mpv/client.h>

#include <chrono>

namespace tembrik::mediaplayer::detail {

// Ends a libmpv core without letting it hold the caller up for long. libmpv joins the thread that
// opens the stream, and a host name lookup cannot be interrupted: with a slow resolver that can take
// tens of seconds. The core is therefore ended on a helper thread; the caller waits for it at most
// `patience` and otherwise leaves it to finish in the background. Returns whether it finished in time.
// The handle must not be used afterwards, and no wake-up callback may be set on it.
bool terminateWithin(mpv_handle* handle, std::chrono::milliseconds patience);

} // namespace tembrik::mediaplayer::detail
