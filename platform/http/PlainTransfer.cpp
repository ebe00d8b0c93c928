#include "PlainTransfer.h"

#include "PlainAnswer.h"
#include "PlainUrl.h"
#include "tembrik/platform/Url.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace tembrik::platform::detail {
namespace {

constexpr std::size_t pieceSize = 16 * 1024;
constexpr std::size_t maxHeaderLine = 100 * 1024;
// Reads per perform(): a fast station must not keep the owner from its other work.
constexpr int roundsPerPerform = 16;
// The largest batch: the kernel's receive buffer must hold it with room to spare.
constexpr std::size_t maxBatch = 64 * 1024;

// An eventfd, shared by the transfer (wake(), wait()) and its resolver threads, so that a resolver
// finishing after the transfer has gone still writes to a descriptor of its own.
class WakeFd {
public:
    WakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), error_(fd_ < 0 ? errno : 0) {}
    ~WakeFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; } // why there is no descriptor
    void signal() const {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(fd_, &one, sizeof one);
    }
    // True when it had been signalled.
    bool drain() const {
        std::uint64_t count = 0;
        return ::read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count) && count > 0;
    }

private:
    const int fd_;
    const int error_;
};

// One name look-up, shared with the thread doing it; the thread frees it when the transfer has
// already let go. `mutex` guards `done`, `addresses` and `error`.
struct Lookup {
    std::shared_ptr<const WakeFd> wake;
    std::mutex mutex;
    bool done = false;
    addrinfo* addresses = nullptr;
    int error = 0;

    ~Lookup() {
        if (addresses)
            ::freeaddrinfo(addresses);
    }
};

class PlainTransfer final : public HttpTransfer {
public:
    PlainTransfer(const TransferRequest& request, TransferEvents& events, HandOver handOver)
        : request_(request), events_(events), handOver_(std::move(handOver)),
          wake_(std::make_shared<const WakeFd>()), url_(request.url) {
        begin();
        ready_ = true;
    }

    ~PlainTransfer() override {
        closeSocket();
        if (addresses_)
            ::freeaddrinfo(addresses_);
    }

    bool perform() override {
        if (next_)
            return next_->perform();
        if (ended_)
            return true;
        if (paused_)
            return false;
        guarded([this] { run(); });
        if (next_)
            return next_->perform();
        return ended_;
    }

    void wait(int ms) override {
        if (next_) {
            next_->wait(ms);
            return;
        }
        if (ended_ || ready_)
            return;
        if (deadline_ && (phase_ == Phase::Resolving || phase_ == Phase::Connecting)) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
            left = std::max<long long>(left, 0);
            if (ms < 0 || left < ms)
                ms = static_cast<int>(std::min<long long>(left, INT32_MAX));
        }
        if (socket_ >= 0 && phase_ == Phase::Receiving && lowWater_ != batch_)
            applyBatch();
        pollfd fds[2] = {{wake_->fd(), POLLIN, 0}, {socket_, 0, 0}};
        nfds_t count = 1;
        if (socket_ >= 0 && !paused_) {
            fds[1].events = phase_ == Phase::Receiving ? POLLIN : POLLOUT;
            count = 2;
        }
        if (::poll(fds, count, ms) > 0 && (fds[0].revents & POLLIN))
            wake_->drain();
    }

    void batchReads(std::size_t bytes) override {
        if (next_) {
            next_->batchReads(bytes);
            return;
        }
        batch_ = static_cast<int>(std::clamp<std::size_t>(bytes, 1, maxBatch));
    }

    void wake() override {
        std::lock_guard lock(nextMutex_);
        if (next_)
            next_->wake();
        else
            wake_->signal();
    }

    void resume() override {
        if (next_) {
            next_->resume();
            return;
        }
        if (!paused_ || ended_)
            return;
        paused_ = false;
        ready_ = true;
        guarded([this] {
            std::string piece = std::move(held_);
            held_.clear();
            offer(piece);
        });
    }

    TransferResult result() const override {
        if (next_)
            return next_->result();
        TransferResult r = result_;
        r.status = status_;
        return r;
    }
    long status() const override { return next_ ? next_->status() : status_; }
    std::string effectiveUrl() const override { return next_ ? next_->effectiveUrl() : url_; }
    std::optional<Clock::time_point> connectedAt() const override {
        return next_ ? next_->connectedAt() : connectedAt_;
    }

private:
    enum class Phase { Resolving, Connecting, Sending, Receiving, Done };
    enum class Body { None, Length, Chunked, UntilClose };
    enum class Chunk { Size, Data, DataEnd, Trailers };

    template <typename F> void guarded(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            fail(TransferFailure::Network, e.what());
        } catch (...) {
            fail(TransferFailure::Network, "unexpected failure");
        }
    }

    // The socket's receive low-water mark: the kernel then wakes poll() for the body only once that
    // much has arrived (or the connection ended), while recv() still takes whatever is there.
    void applyBatch() {
        // Where the system refuses, the body simply keeps coming packet by packet.
        ::setsockopt(socket_, SOL_SOCKET, SO_RCVLOWAT, &batch_, sizeof batch_);
        lowWater_ = batch_;
    }

    void fail(TransferFailure failure, std::string detail) {
        if (ended_)
            return;
        result_.failure = failure;
        result_.detail = std::move(detail);
        finish();
    }

    void finish() {
        ended_ = true;
        paused_ = false;
        phase_ = Phase::Done;
        closeSocket();
    }

    void closeSocket() {
        lowWater_ = 1; // a new socket starts at the system's default
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

    // Starts on url_: the first request and every redirect that stays on http://.
    void begin() {
        closeSocket();
        std::string error;
        if (wake_->fd() < 0) {
            fail(TransferFailure::Network, std::string("eventfd: ") + std::strerror(wake_->error()));
            return;
        }
        if (!parseUrl(url_, target_, error)) {
            fail(TransferFailure::BadAddress, error);
            return;
        }
        if (target_.scheme != "http" || target_.userInfo || !request_.proxy.empty()) {
            fail(TransferFailure::BadAddress, "not a plain http:// address");
            return;
        }
        started_ = Clock::now();
        deadline_.reset();
        // A year stands for "never" and keeps the sum from overflowing the clock.
        if (request_.connectTimeout.count() > 0)
            deadline_ = started_ + std::min<std::chrono::milliseconds>(request_.connectTimeout,
                                                                       std::chrono::hours(8760));
        connectedAt_.reset();
        lookup_.reset();
        if (addresses_)
            ::freeaddrinfo(addresses_);
        addresses_ = nullptr;
        nextAddress_ = nullptr;
        lastConnectError_ = 0;
        input_.clear();
        inputPos_ = 0;
        eof_ = false;
        output_.clear();
        outputPos_ = 0;
        newAnswer();
        phase_ = Phase::Resolving;
    }

    void newAnswer() {
        statusSeen_ = false;
        answerBytes_ = 0;
        location_.clear();
        contentLength_.reset();
        chunked_ = false;
        body_ = Body::None;
        chunk_ = Chunk::Size;
        remaining_ = 0;
    }

    void run() {
        ready_ = false;
        for (int round = 0; round < roundsPerPerform; ++round) {
            if (ended_ || paused_ || next_)
                return;
            bool progressed = false;
            switch (phase_) {
            case Phase::Resolving:
                progressed = resolve();
                break;
            case Phase::Connecting:
                progressed = connecting();
                break;
            case Phase::Sending:
                progressed = sending();
                break;
            case Phase::Receiving:
                progressed = receiving();
                break;
            case Phase::Done:
                return;
            }
            if (!progressed) {
                checkDeadline();
                return;
            }
        }
        ready_ = true;
    }

    void checkDeadline() {
        if (ended_ || !deadline_ || (phase_ != Phase::Resolving && phase_ != Phase::Connecting))
            return;
        auto now = Clock::now();
        if (now >= *deadline_) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - started_).count();
            fail(TransferFailure::Timeout,
                 "Connection timed out after " + std::to_string(ms) + " milliseconds");
        }
    }

    // True when it went on to connecting (or ended).
    bool resolve() {
        if (!lookup_) {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
            std::string port = std::to_string(target_.port);
            // An address literal needs no resolver: no thread for it.
            if (::getaddrinfo(target_.host.c_str(), port.c_str(), &hints, &addresses_) == 0) {
                nextAddress_ = addresses_;
                phase_ = Phase::Connecting;
                connectNext();
                return true;
            }
            addresses_ = nullptr;
            startLookup(port);
            return false;
        }
        {
            std::lock_guard lock(lookup_->mutex);
            if (!lookup_->done)
                return false;
            if (lookup_->error != 0 || !lookup_->addresses) {
                fail(TransferFailure::Resolve, "Could not resolve host: " + target_.host);
                return true;
            }
            addresses_ = lookup_->addresses;
            lookup_->addresses = nullptr;
        }
        lookup_.reset();
        nextAddress_ = addresses_;
        phase_ = Phase::Connecting;
        connectNext();
        return true;
    }

    void startLookup(const std::string& port) {
        auto lookup = std::make_shared<Lookup>();
        lookup->wake = wake_;
        std::string host = target_.host;
        // Detached: the transfer never waits for getaddrinfo(); the thread owns its share of the
        // look-up and drops it when done.
        std::thread([lookup, host, port] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_NUMERICSERV | AI_IDN;
            addrinfo* found = nullptr;
            int error = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
            {
                std::lock_guard lock(lookup->mutex);
                lookup->done = true;
                lookup->error = error;
                lookup->addresses = error == 0 ? found : nullptr;
            }
            lookup->wake->signal();
        }).detach();
        lookup_ = std::move(lookup);
    }

    // Opens a socket to the next address that takes a connection attempt; ends with Connect when
    // none is left.
    void connectNext() {
        closeSocket();
        for (; nextAddress_; nextAddress_ = nextAddress_->ai_next) {
            const addrinfo* a = nextAddress_;
            int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            if (fd < 0) {
                lastConnectError_ = errno;
                continue;
            }
            // Long radio streams: notice a peer that vanished without a word.
            int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
            if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS) {
                socket_ = fd;
                nextAddress_ = nextAddress_->ai_next;
                return;
            }
            lastConnectError_ = errno;
            ::close(fd);
        }
        fail(TransferFailure::Connect,
             "Failed to connect to " + target_.host + " port " + std::to_string(target_.port) + ": " +
                 std::strerror(lastConnectError_ ? lastConnectError_ : ECONNREFUSED));
    }

    bool connecting() {
        pollfd p{socket_, POLLOUT, 0};
        if (::poll(&p, 1, 0) <= 0)
            return false;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
            error = errno;
        if (error != 0) {
            lastConnectError_ = error;
            connectNext();
            return true;
        }
        connectedAt_ = Clock::now();
        output_ = "GET " + target_.target + " HTTP/1.1\r\nHost: " + target_.hostHeader + "\r\n";
        if (!request_.userAgent.empty())
            output_ += "User-Agent: " + request_.userAgent + "\r\n";
        output_ += "Accept: */*\r\n";
        for (const auto& h : request_.headers)
            output_ += h + "\r\n";
        output_ += "\r\n";
        outputPos_ = 0;
        phase_ = Phase::Sending;
        return true;
    }

    bool sending() {
        ssize_t n = ::send(socket_, output_.data() + outputPos_, output_.size() - outputPos_, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return false;
            fail(TransferFailure::Network, std::string("Send failure: ") + std::strerror(errno));
            return true;
        }
        outputPos_ += static_cast<std::size_t>(n);
        if (outputPos_ == output_.size()) {
            output_.clear();
            phase_ = Phase::Receiving;
        }
        return true;
    }

    bool receiving() {
        if (!processInput())
            return true;
        if (eof_) {
            endOfInput();
            return true;
        }
        if (inputPos_ > 0) {
            input_.erase(0, inputPos_);
            inputPos_ = 0;
        }
        std::size_t had = input_.size();
        input_.resize(had + pieceSize);
        ssize_t n = ::recv(socket_, input_.data() + had, pieceSize, 0);
        input_.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return false;
            fail(TransferFailure::Network, std::string("Recv failure: ") + std::strerror(errno));
            return true;
        }
        if (n == 0) {
            eof_ = true;
            closeSocket();
        }
        answerBytes_ += static_cast<std::size_t>(n);
        return true;
    }

    std::string_view available() const { return std::string_view(input_).substr(inputPos_); }

    // Consumes what has arrived. False when it stopped for something other than needing more bytes
    // (paused, ended, redirected).
    bool processInput() {
        while (!ended_ && !paused_ && !next_ && phase_ == Phase::Receiving) {
            bool more = body_ == Body::None ? headerStep() : bodyStep();
            if (!more)
                return !ended_ && !paused_ && !next_ && phase_ == Phase::Receiving;
        }
        return false;
    }

    // The next line of the head (or of the trailers), with its line break; nullopt until it is
    // complete. Ends the transfer when it is too long.
    std::optional<std::string_view> nextLine() {
        std::string_view in = available();
        std::size_t nl = in.find('\n');
        if (nl == std::string_view::npos) {
            if (in.size() > maxHeaderLine)
                fail(TransferFailure::HeaderTooLarge, "a header line is longer than 100 KiB");
            return std::nullopt;
        }
        if (nl + 1 > maxHeaderLine) {
            fail(TransferFailure::HeaderTooLarge, "a header line is longer than 100 KiB");
            return std::nullopt;
        }
        inputPos_ += nl + 1;
        return in.substr(0, nl + 1);
    }

    bool report(std::string_view line) {
        if (events_.onHeaderLine(line))
            return true;
        fail(TransferFailure::Stopped, "the transfer was stopped while reading the answer's head");
        return false;
    }

    bool headerStep() {
        if (!statusSeen_ && !mayBeStatusLine(available())) {
            fail(TransferFailure::Network, "the server's answer is not HTTP");
            return false;
        }
        auto line = nextLine();
        if (!line)
            return false;
        if (!statusSeen_) {
            int code = parseStatusLine(*line, icy_);
            if (code < 0) {
                fail(TransferFailure::Network, "the server's answer is not HTTP");
                return false;
            }
            statusSeen_ = true;
            status_ = code;
            return report(*line);
        }
        if (!report(*line))
            return false;
        std::string_view content = trim(*line);
        if (content.empty()) {
            endOfHead();
            return true;
        }
        std::size_t colon = content.find(':');
        if (colon == std::string_view::npos)
            return true;
        std::string_view name = trim(content.substr(0, colon));
        std::string_view value = trim(content.substr(colon + 1));
        if (equalsNoCase(name, "Location")) {
            location_ = std::string(value);
        } else if (equalsNoCase(name, "Content-Length")) {
            std::uint64_t length = 0;
            if (!parseDecimal(value, length)) {
                fail(TransferFailure::Network, "invalid Content-Length: " + std::string(value));
                return false;
            }
            contentLength_ = length;
        } else if (equalsNoCase(name, "Transfer-Encoding")) {
            std::size_t comma = value.rfind(',');
            std::string_view last = trim(comma == std::string_view::npos ? value : value.substr(comma + 1));
            chunked_ = equalsNoCase(last, "chunked");
        }
        return true;
    }

    void endOfHead() {
        if (status_ >= 100 && status_ < 200) {
            newAnswer();
            return;
        }
        const bool redirect =
            status_ == 301 || status_ == 302 || status_ == 303 || status_ == 307 || status_ == 308;
        if (redirect && !location_.empty()) {
            followRedirect();
            return;
        }
        if (status_ >= 400) {
            fail(TransferFailure::HttpStatus, "HTTP " + std::to_string(status_));
            return;
        }
        if (status_ == 204 || status_ == 304) {
            finish();
            return;
        }
        if (icy_) {
            body_ = Body::UntilClose;
        } else if (chunked_) {
            body_ = Body::Chunked;
            chunk_ = Chunk::Size;
        } else if (contentLength_) {
            body_ = Body::Length;
            remaining_ = *contentLength_;
        } else {
            body_ = Body::UntilClose;
        }
    }

    void followRedirect() {
        if (request_.maxRedirects >= 0 && redirects_ >= request_.maxRedirects) {
            fail(TransferFailure::Network,
                 "Maximum (" + std::to_string(request_.maxRedirects) + ") redirects followed");
            return;
        }
        ++redirects_;
        std::string next = resolveReference(url_, location_);
        std::string scheme = urlScheme(next);
        if (scheme != "http" && scheme != "https") {
            fail(TransferFailure::Network, "redirect to an unsupported address: " + next);
            return;
        }
        url_ = next;
        TransferRequest nextRequest = request_;
        nextRequest.url = next;
        if (nextRequest.maxRedirects >= 0)
            nextRequest.maxRedirects -= redirects_;
        if (!plainTransferCanDo(nextRequest)) {
            handOverTo(nextRequest);
            return;
        }
        begin();
    }

    void handOverTo(const TransferRequest& next) {
        closeSocket();
        std::string error;
        std::unique_ptr<HttpTransfer> transfer;
        if (handOver_)
            transfer = handOver_(next, error);
        else
            error = "no transfer can follow a redirect to " + next.url;
        if (!transfer) {
            fail(TransferFailure::Network,
                 error.empty() ? "no transfer can follow a redirect to " + next.url : error);
            return;
        }
        {
            std::lock_guard lock(nextMutex_);
            next_ = std::move(transfer);
        }
        // A wake() that reached this transfer just before it handed over belongs to the next one.
        if (wake_->drain())
            next_->wake();
    }

    // Offers a piece of the body; kept in held_ when the owner pauses.
    void offer(std::string_view piece) {
        if (piece.empty())
            return;
        switch (events_.onBody(piece)) {
        case BodyAnswer::Take:
            break;
        case BodyAnswer::Pause:
            held_.assign(piece);
            paused_ = true;
            ready_ = false;
            break;
        case BodyAnswer::Stop:
            fail(TransferFailure::Stopped, "the transfer was stopped while reading the body");
            break;
        }
    }

    // Hands the next piece of the consumed input on, at most `limit` bytes.
    void takePiece(std::size_t limit) {
        std::string_view piece = available().substr(0, std::min(limit, pieceSize));
        inputPos_ += piece.size();
        offer(piece);
    }

    bool bodyStep() {
        std::string_view in = available();
        switch (body_) {
        case Body::None:
            return false;
        case Body::UntilClose:
            if (in.empty())
                return false;
            takePiece(in.size());
            return true;
        case Body::Length:
            if (remaining_ == 0) {
                finish();
                return false;
            }
            if (in.empty())
                return false;
            {
                std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, in.size()));
                n = std::min(n, pieceSize);
                remaining_ -= n;
                takePiece(n);
            }
            return true;
        case Body::Chunked:
            return chunkStep();
        }
        return false;
    }

    bool chunkStep() {
        std::string_view in = available();
        switch (chunk_) {
        case Chunk::Size: {
            auto line = nextLine();
            if (!line)
                return false;
            std::uint64_t size = 0;
            if (!parseChunkSize(*line, size)) {
                fail(TransferFailure::Network, "malformed chunk size in the answer");
                return false;
            }
            chunk_ = size == 0 ? Chunk::Trailers : Chunk::Data;
            remaining_ = size;
            return true;
        }
        case Chunk::Data: {
            if (in.empty())
                return false;
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, in.size()));
            n = std::min(n, pieceSize);
            remaining_ -= n;
            if (remaining_ == 0)
                chunk_ = Chunk::DataEnd;
            takePiece(n);
            return true;
        }
        case Chunk::DataEnd:
            if (in.empty() || (in[0] == '\r' && in.size() < 2))
                return false;
            if (in[0] == '\n' || (in[0] == '\r' && in[1] == '\n')) {
                inputPos_ += in[0] == '\n' ? 1 : 2;
                chunk_ = Chunk::Size;
                return true;
            }
            fail(TransferFailure::Network, "malformed chunk in the answer");
            return false;
        case Chunk::Trailers: {
            auto line = nextLine();
            if (!line || !report(*line))
                return false;
            if (trim(*line).empty())
                finish();
            return true;
        }
        }
        return false;
    }

    // The peer closed and everything that came before was consumed.
    void endOfInput() {
        if (body_ == Body::UntilClose) {
            finish();
        } else if (body_ == Body::None && answerBytes_ == 0) {
            fail(TransferFailure::Network, "Empty reply from server");
        } else {
            fail(TransferFailure::Network, "the connection closed before the end of the answer");
        }
    }

    // Owner's thread, except wake_ (any thread: its descriptor never changes) and next_ (written
    // under nextMutex_ by the owner, read under it by wake()).
    const TransferRequest request_;
    TransferEvents& events_;
    const HandOver handOver_;
    const std::shared_ptr<const WakeFd> wake_;
    std::mutex nextMutex_;
    std::unique_ptr<HttpTransfer> next_;

    std::string url_;
    PlainUrl target_;
    Phase phase_ = Phase::Resolving;
    bool ended_ = false;
    bool paused_ = false;
    bool ready_ = false; // perform() has work without waiting
    TransferResult result_;
    long status_ = 0;
    long redirects_ = 0;

    Clock::time_point started_;
    std::optional<Clock::time_point> deadline_;
    std::optional<Clock::time_point> connectedAt_;
    std::shared_ptr<Lookup> lookup_;
    addrinfo* addresses_ = nullptr;
    const addrinfo* nextAddress_ = nullptr;
    int lastConnectError_ = 0;
    int socket_ = -1;
    int batch_ = 1;    // the low-water mark the owner asked for
    int lowWater_ = 1; // the one the socket has

    std::string output_;
    std::size_t outputPos_ = 0;
    std::string input_;
    std::size_t inputPos_ = 0;
    bool eof_ = false;
    std::size_t answerBytes_ = 0;

    bool statusSeen_ = false;
    bool icy_ = false;
    std::string location_;
    std::optional<std::uint64_t> contentLength_;
    bool chunked_ = false;
    Body body_ = Body::None;
    Chunk chunk_ = Chunk::Size;
    std::uint64_t remaining_ = 0;
    std::string held_; // the piece the owner paused on
};

} // namespace

bool plainTransferCanDo(const TransferRequest& request) {
    PlainUrl url;
    std::string error;
    if (!request.proxy.empty())
        return false;
    if (!parseUrl(request.url, url, error))
        return urlScheme(request.url) == "http"; // a bad http:// address is refused here, clearly
    return url.scheme == "http" && !url.userInfo;
}

std::unique_ptr<HttpTransfer> startPlainTransfer(const TransferRequest& request, TransferEvents& events,
                                                 HandOver handOver) {
    try {
        return std::make_unique<PlainTransfer>(request, events, std::move(handOver));
    } catch (...) {
        // Out of memory before anything started: there is no transfer to report it on.
        return nullptr;
    }
}

} // namespace tembrik::platform::detail
