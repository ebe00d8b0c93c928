#pragma once
// One HTTP or HTTPS GET, moved on step by step by the thread that owns it (perform(), wait()), so
// that the owner can pause it, time it out and end it between steps.
//
// Plain http:// without a proxy is done here, on a socket of our own: it is what nearly every
// station sends, and it keeps libcurl and its TLS, Kerberos and LDAP libraries out of a process that
// only plays such a station. Everything else (https://, a proxy, an address with a user name, a
// redirect to https://) goes through libcurl, in the module tembrik-curl.so beside the program,
// loaded the first time one is needed.
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrik::platform {

struct TransferRequest {
    std::string url;
    std::vector<std::string> headers; // more request header lines, "Name: value"
    std::string userAgent;            // empty: no User-Agent header
    std::string proxy;                // empty: direct, whatever the environment says
    long maxRedirects = 10;
    // From the start to a connection standing (name look-up, connect, TLS); 0: no limit. Once
    // connected the transfer has no time-out of its own: the owner decides how long is too long.
    std::chrono::milliseconds connectTimeout{30000};
};

enum class BodyAnswer {
    Take,  // the piece is taken
    Pause, // not taken: it is offered again after resume()
    Stop,  // the transfer ends with TransferFailure::Stopped
};

// Called on the thread that calls perform() or resume().
class TransferEvents {
public:
    // Every line of every answer (those of redirects too), the status line first, each with its
    // line break, and the empty line that ends them. False ends the transfer (Stopped).
    virtual bool onHeaderLine(std::string_view line) = 0;
    // A piece of the last answer's body, as sent once any chunked coding is removed. Not called for
    // answers with an error status (400 and above).
    virtual BodyAnswer onBody(std::string_view piece) = 0;

protected:
    ~TransferEvents() = default;
};

enum class TransferFailure {
    None,
    BadAddress,     // not a usable http(s) address
    Resolve,        // the host (or proxy) name is unknown
    Connect,        // no connection (refused, unreachable, proxy refused)
    Tls,            // the TLS handshake or the certificate check failed
    Timeout,        // no connection within connectTimeout
    HttpStatus,     // the answer's status is 400 or above (TransferResult::status)
    HeaderTooLarge, // one header line is longer than the transfer accepts
    Stopped,        // an event handler ended it
    Network,        // anything else: reset, not HTTP, too many redirects, …
};

struct TransferResult {
    TransferFailure failure = TransferFailure::None;
    long status = 0;    // of the last answer, 0 when none arrived
    std::string detail; // a reason for people, empty when it succeeded
};

class HttpTransfer {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~HttpTransfer() = default;
    // Does what can be done now without waiting, calling the events on this thread. True once the
    // transfer has ended (result() says how); false while it goes on. Not called while paused.
    virtual bool perform() = 0;
    // Sleeps until perform() has something to do, wake() is called, or `ms` have passed.
    virtual void wait(int ms) = 0;
    // Ends a wait() early. Any thread, while the transfer exists.
    virtual void wake() = 0;
    // Goes on after onBody() answered Pause; the piece not taken may be offered right here.
    virtual void resume() = 0;
    virtual TransferResult result() const = 0;
    virtual long status() const = 0;                                  // of the latest answer, 0 before one
    virtual std::string effectiveUrl() const = 0;                     // after redirects
    virtual std::optional<Clock::time_point> connectedAt() const = 0; // when the connection stood
    // Lets the body arrive in batches: wait() then returns for the body only once `bytes` of it are
    // waiting (or the connection ended), or when its time is up, and perform() takes whatever has
    // come. A steady stream then wakes its owner a few times a second instead of at every packet.
    // 1 hands over every packet (as at the start). A transfer that cannot batch ignores it.
    virtual void batchReads(std::size_t bytes) { static_cast<void>(bytes); }
};

// Starts a transfer (it runs in perform()). nullptr, with the reason in `error`, when libcurl is
// needed and its module cannot be loaded.
std::unique_ptr<HttpTransfer> startHttpTransfer(const TransferRequest& request, TransferEvents& events,
                                                std::string& error);

} // namespace tembrik::platform
