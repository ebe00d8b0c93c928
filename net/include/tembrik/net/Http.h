#pragma once
// One HTTP(S) GET (platform/HttpTransfer.h), blocking the calling thread until it ends. Redirects are
// followed up to a limit, TLS certificates and host names are checked, and the answer must be a success
// status.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tembrik::net {

// Set by another thread to end a transfer early; the transfer then fails with "cancelled".
using CancelFlag = std::atomic<bool>;

struct HttpOptions {
    std::chrono::milliseconds connectTimeout{30000}; // to reach the server and finish TLS; 0: none
    std::chrono::milliseconds readTimeout{30000};    // longest silence once connected; 0: no limit
    std::string userAgent;                           // empty: no User-Agent header
    std::string proxy;                               // empty: direct (proxy variables are ignored)
    long maxRedirects = 5;
    std::size_t maxBodyBytes = 16u << 20; // a larger answer fails rather than filling memory or disk
};

struct HttpResult {
    bool ok = false;
    long status = 0;   // the last HTTP status seen, 0 when none arrived
    std::string body;  // the whole body when ok
    std::string error; // why it failed: the transfer's reason, "HTTP 500", "timed out" …
};

HttpResult httpGet(const std::string& url, const HttpOptions& options, const CancelFlag* cancel = nullptr);

// The transfer itself: every piece of the body goes to `sink`, which returns false to fail the
// transfer with `sinkError`. The body is not kept.
using BodySink = std::function<bool(std::string_view piece)>;
HttpResult httpTransfer(const std::string& url, const HttpOptions& options, const BodySink& sink,
                        const CancelFlag* cancel = nullptr);

} // namespace tembrik::net
