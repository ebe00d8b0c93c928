#include "source/HttpSource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "common/ThreadName.h"
#include "source/IcyDemuxer.h"
#include "source/Url.h"
#include "tembrik/audio/Trace.h"
#include "tembrik/platform/HttpTransfer.h"

namespace tembrik::audio::source {

class HttpSource::Demuxer : public IcyDemuxer {
public:
    using IcyDemuxer::IcyDemuxer;
};

// The transfer's events, on the download thread.
class HttpSource::Events final : public platform::TransferEvents {
public:
    explicit Events(HttpSource& source) : source_(source) {}

    bool onHeaderLine(std::string_view line) override {
        return source_.onHeader(line.data(), line.size()) != 0;
    }

    platform::BodyAnswer onBody(std::string_view piece) override {
        const std::size_t taken = source_.onBody(piece.data(), piece.size());
        if (taken == kPaused)
            return platform::BodyAnswer::Pause;
        return taken == piece.size() ? platform::BodyAnswer::Take : platform::BodyAnswer::Stop;
    }

private:
    HttpSource& source_;
};

namespace {

// Bytes kept while opening; a transfer that gets this far ahead of the opener pauses.
constexpr std::uint64_t kRetainLimit = 4u << 20;
constexpr std::size_t kMaxHeaderBytes = 256 * 1024; // all lines of one response
constexpr int kBatchWaitMs = 500;                   // longest wait for a batch of the body

std::string lowerCopy(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimView(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool isStatusLine(std::string_view line) {
    return line.substr(0, 5) == "HTTP/" || line.substr(0, 4) == "ICY ";
}

SourceStatus statusOf(const platform::TransferResult& r) {
    SourceStatus s;
    s.detail = r.detail;
    switch (r.failure) {
    case platform::TransferFailure::None:
        break;
    case platform::TransferFailure::BadAddress:
        s.failure = Failure::BadAddress;
        break;
    case platform::TransferFailure::Resolve:
    case platform::TransferFailure::Connect:
    case platform::TransferFailure::Tls:
        s.failure = Failure::Refused;
        break;
    case platform::TransferFailure::Timeout:
        s.failure = Failure::Timeout;
        break;
    case platform::TransferFailure::HttpStatus:
        s.failure = Failure::HttpStatus;
        s.httpStatus = static_cast<int>(r.status);
        s.detail = "HTTP " + std::to_string(r.status);
        break;
    case platform::TransferFailure::HeaderTooLarge:
        s.failure = Failure::Network;
        s.detail = "the server's header is too large";
        break;
    case platform::TransferFailure::Stopped:
    case platform::TransferFailure::Network:
        s.failure = Failure::Network;
        break;
    }
    return s;
}

} // namespace

std::shared_ptr<HttpSource> HttpSource::start(HttpRequest request,
                                              std::shared_ptr<common::ThreadGroup> threads) {
    std::shared_ptr<HttpSource> source(new HttpSource(std::move(request)));
    source->threads_ = threads;
    if (!isHttpUrl(source->request_.url)) {
        source->finish({Failure::BadAddress, 0, "not an http(s) address"});
        std::lock_guard lock(source->mutex_);
        source->stopped_ = true;
        return source;
    }
    threads->spawn([source] { source->run(); });
    return source;
}

HttpSource::HttpSource(HttpRequest request) : request_(std::move(request)) {}

HttpSource::~HttpSource() = default;

// ---------------------------------------------------------------------------------------------
// Download thread

void HttpSource::run() {
    common::nameThisThread("audio-net");
    platform::TransferRequest request;
    request.url = request_.url;
    if (request_.icyMetadata)
        request.headers.emplace_back("Icy-MetaData: 1");
    request.userAgent = request_.userAgent;
    request.proxy = request_.proxy;
    request.maxRedirects = 10;
    request.connectTimeout = std::chrono::milliseconds(request_.timeoutMs);
    Events events(*this);
    std::string startError;
    transferStart_ = Clock::now();
    std::unique_ptr<platform::HttpTransfer> transfer =
        platform::startHttpTransfer(request, events, startError);
    if (!transfer) {
        finish({Failure::Network, 0, startError});
        std::lock_guard lock(mutex_);
        stopped_ = true;
        stopCv_.notify_all();
        return;
    }
    transfer_ = transfer.get();
    {
        std::lock_guard lock(mutex_);
        wakeable_ = transfer.get();
    }

    const auto responseDeadline = transferStart_ + std::chrono::milliseconds(request_.timeoutMs);
    SourceStatus result;
    bool done = false;
    while (!done) {
        if (aborted_.load()) {
            result = {Failure::Aborted, 0, "aborted"};
            break;
        }
        flushIfAccepted();
        {
            std::unique_lock lock(mutex_);
            if (paused_) {
                roomCv_.wait(
                    lock, [&] { return aborted_.load() || (accepted_ && flushNeeded_) || roomToResume(); });
                if (aborted_.load() || (accepted_ && flushNeeded_))
                    continue;
                paused_ = false;
                heldBack_.store(false, std::memory_order_release);
                lock.unlock();
                lastData_ = Clock::now();
                transfer->resume(); // may deliver held-back data right here
                continue;
            }
        }
        if (transfer->perform()) {
            done = true;
            if (aborted_.load()) {
                result = {Failure::Aborted, 0, "aborted"};
            } else {
                const platform::TransferResult r = transfer->result();
                result = statusOf(r);
                if (!bodyStartedLocal_ && headerTooLarge_)
                    result = {Failure::Network, 0, "the server's header is too large"};
            }
            break;
        }
        {
            std::lock_guard lock(mutex_);
            if (paused_)
                continue;
        }
        auto now = Clock::now();
        int waitMs = 1000;
        if (!bodyStartedLocal_) {
            if (now >= responseDeadline) {
                result = {Failure::Timeout, 0, "no answer within the time-out"};
                break;
            }
            waitMs = static_cast<int>(std::min<long long>(
                waitMs,
                std::chrono::duration_cast<std::chrono::milliseconds>(responseDeadline - now).count() + 1));
        } else {
            int stall = 0;
            std::size_t batch = 1;
            {
                std::lock_guard lock(mutex_);
                stall = accepted_ ? stallTimeoutMs_ : 0;
                // Well stocked while playing, the stream may come in batches of an eighth of the
                // buffer: this thread then wakes a few times a second instead of at every packet,
                // and what waits in the kernel is never more than half of what waits here.
                if (accepted_ && !eagerRefill_ && buffered_ >= bufferLimit_ / 4)
                    batch = static_cast<std::size_t>(bufferLimit_ / 8);
            }
            if (stall > 0 && now - lastData_ > std::chrono::milliseconds(stall)) {
                result = {Failure::Network, 0, "the stream stalled"};
                break;
            }
            transfer->batchReads(batch);
            if (batch > 1)
                waitMs = kBatchWaitMs; // a slow station's bytes wait no longer than this
        }
        transfer->wait(waitMs);
    }
    if (!bodyStartedLocal_ && result.failure == Failure::None)
        startBody(); // empty body
    {
        std::lock_guard lock(mutex_);
        wakeable_ = nullptr;
    }
    transfer_ = nullptr;
    transfer.reset();
    finish(result);

    // Stay until the opener decides, so that an accepted source always gets its calls on this thread.
    {
        std::unique_lock lock(mutex_);
        roomCv_.wait(lock, [&] { return accepted_ || aborted_.load(); });
    }
    flushIfAccepted();
    if (delivering_ && downloadSink_) {
        common::ThreadGroup::CallbackScope scope(*threads_);
        downloadSink_(nullptr, 0);
    }
    downloadSink_ = nullptr;
    metadataSink_ = nullptr;
    std::lock_guard lock(mutex_);
    stopped_ = true;
    stopCv_.notify_all();
}

std::size_t HttpSource::onHeader(const char* data, std::size_t length) {
    std::string_view line(data, length);
    if (isStatusLine(line)) {
        headerLines_.clear();
        headerBytes_ = 0;
    }
    headerBytes_ += length;
    if (headerBytes_ > kMaxHeaderBytes) {
        headerTooLarge_ = true;
        return 0; // ends the transfer
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (!line.empty())
        headerLines_.emplace_back(line);
    return length;
}

void HttpSource::startBody() {
    bodyStartedLocal_ = true;
    lastData_ = Clock::now();
    Response r;
    if (transfer_) {
        if (const auto connected = transfer_->connectedAt())
            ::tembrik::audio::detail::trace("connected", *connected);
        ::tembrik::audio::detail::trace("answer and first bytes", lastData_);
        r.status = static_cast<int>(transfer_->status());
        r.effectiveUrl = transfer_->effectiveUrl();
    }
    if (r.effectiveUrl.empty())
        r.effectiveUrl = request_.url;
    for (const auto& line : headerLines_) {
        r.headerText += line;
        r.headerText += "\r\n";
        if (isStatusLine(line)) {
            r.icy = line.substr(0, 4) == "ICY ";
            // A status line without a space ("HTTP/1.0") carries no code.
            if (const std::size_t space = line.find(' '); r.status == 0 && space != std::string::npos)
                r.status = static_cast<int>(
                    std::clamp(std::strtol(line.c_str() + space + 1, nullptr, 10), 0L, 999L));
            continue;
        }
        auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = lowerCopy(trimView(std::string_view(line).substr(0, colon)));
        std::string_view value = trimView(std::string_view(line).substr(colon + 1));
        if (name == "content-type") {
            r.contentType = std::string(value);
        } else if (name == "icy-metaint") {
            long v = std::strtol(std::string(value).c_str(), nullptr, 10);
            r.metaint = v > 0 && v < (1 << 24) ? static_cast<std::size_t>(v) : 0;
        } else if (name == "content-length") {
            r.contentLength = std::strtoll(std::string(value).c_str(), nullptr, 10);
        } else if (name == "icy-br") {
            r.bitrateKbps = std::atoi(std::string(value).c_str());
        }
    }
    if (r.icy || r.metaint > 0)
        r.contentLength = -1; // a radio stream, whatever it claims
    if (!request_.icyMetadata)
        r.metaint = 0;
    demuxer_ = std::make_unique<Demuxer>(r.metaint);
    std::lock_guard lock(mutex_);
    response_ = std::move(r);
    bodyStarted_ = true;
    dataCv_.notify_all();
}

std::size_t HttpSource::onBody(const char* data, std::size_t length) {
    if (aborted_.load())
        return 0;
    if (!bodyStartedLocal_)
        startBody();
    flushIfAccepted();
    {
        std::lock_guard lock(mutex_);
        bool full = accepted_ ? (bufferLimit_ > 0 && buffered_ >= bufferLimit_) : retained_ >= kRetainLimit;
        if (full) {
            paused_ = true;
            heldBack_.store(true, std::memory_order_release);
            return kPaused;
        }
    }
    lastData_ = Clock::now();
    audioScratch_.clear();
    metaScratch_.clear();
    demuxer_->feed(
        data, length, [&](const char* a, std::size_t n) { audioScratch_.append(a, n); },
        [&](std::string_view text) { metaScratch_.emplace_back(text, downloaded() + audioScratch_.size()); });
    bool deliverNow = false;
    {
        std::lock_guard lock(mutex_);
        if (!audioScratch_.empty()) {
            chunks_.push_back(audioScratch_);
            buffered_ += audioScratch_.size();
            retained_ += audioScratch_.size();
            downloaded_.store(downloaded_.load() + audioScratch_.size(), std::memory_order_release);
        }
        // Until the stream has taken the transfer, blocks wait for accept(); from then on the
        // metadata routine has them (accept() may have come just now: flush first, then deliver).
        deliverNow = delivering_ || accepted_;
        if (!deliverNow)
            earlyMetadata_.insert(earlyMetadata_.end(), metaScratch_.begin(), metaScratch_.end());
        dataCv_.notify_all();
    }
    if (deliverNow && !delivering_)
        flushIfAccepted();
    if (deliverNow) {
        common::ThreadGroup::CallbackScope scope(*threads_);
        if (!audioScratch_.empty() && downloadSink_)
            downloadSink_(audioScratch_.data(), audioScratch_.size());
        for (const auto& [text, byte] : metaScratch_) {
            if (metadataSink_)
                metadataSink_(text, byte);
        }
    }
    return length;
}

void HttpSource::flushIfAccepted() {
    if (delivering_)
        return;
    std::vector<std::string> pending;
    std::string header;
    {
        std::lock_guard lock(mutex_);
        if (!accepted_ || !flushNeeded_)
            return;
        flushNeeded_ = false;
        pending.swap(pendingDelivery_);
        header = response_.headerText;
        downloadSink_ = acceptedDownload_;
        metadataSink_ = acceptedMetadata_;
    }
    delivering_ = true;
    if (!downloadSink_)
        return;
    common::ThreadGroup::CallbackScope scope(*threads_);
    downloadSink_(header.c_str(), 0);
    for (const auto& block : pending)
        downloadSink_(block.data(), block.size());
}

void HttpSource::finish(SourceStatus status) {
    std::lock_guard lock(mutex_);
    status_ = std::move(status);
    finished_.store(true, std::memory_order_release);
    dataCv_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Readers

bool HttpSource::waitForBody(std::size_t minBytes, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    bool ready = dataCv_.wait_until(lock, deadline, [&] {
        return aborted_.load() || finished_.load() || (bodyStarted_ && retained_ >= minBytes);
    });
    if (aborted_.load())
        return false;
    if (!ready) {
        if (!bodyStarted_)
            status_ = {Failure::Timeout, 0, "no answer within the time-out"};
        return bodyStarted_ && retained_ > 0 ? true : false;
    }
    if (bodyStarted_ && retained_ >= minBytes)
        return true;
    // Finished: fine when a body came (even a short one) and no error.
    return bodyStarted_ && status_.failure == Failure::None;
}

Response HttpSource::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

SourceStatus HttpSource::status() const {
    std::lock_guard lock(mutex_);
    if (aborted_.load() && status_.failure == Failure::None)
        return {Failure::Aborted, 0, "aborted"};
    return status_;
}

std::string HttpSource::peekStart(std::size_t n) const {
    std::lock_guard lock(mutex_);
    std::string out;
    for (const auto& chunk : chunks_) {
        if (out.size() >= n)
            break;
        out.append(chunk, 0, std::min(chunk.size(), n - out.size()));
    }
    return out;
}

long HttpSource::read(char* dst, std::size_t n, std::optional<Clock::time_point> deadline) {
    std::unique_lock lock(mutex_);
    auto ready = [&] { return aborted_.load() || buffered_ > 0 || finished_.load(); };
    if (deadline) {
        if (!dataCv_.wait_until(lock, *deadline, ready))
            return kTimedOut;
    } else {
        dataCv_.wait(lock, ready);
    }
    if (aborted_.load())
        return kAborted;
    if (buffered_ == 0)
        return kEnd;
    std::size_t copied = 0;
    while (copied < n && readChunk_ < chunks_.size()) {
        const std::string& chunk = chunks_[readChunk_];
        std::size_t take = std::min(n - copied, chunk.size() - readOffset_);
        std::memcpy(dst + copied, chunk.data() + readOffset_, take);
        copied += take;
        readOffset_ += take;
        if (readOffset_ == chunk.size()) {
            ++readChunk_;
            readOffset_ = 0;
        }
    }
    if (accepted_) {
        while (readChunk_ > 0) {
            retained_ -= chunks_.front().size();
            chunks_.pop_front();
            --readChunk_;
        }
    }
    buffered_ -= copied;
    consumed_.store(consumed_.load() + copied, std::memory_order_release);
    if (paused_ && roomToResume())
        roomCv_.notify_all();
    return static_cast<long>(copied);
}

void HttpSource::rewind() {
    std::lock_guard lock(mutex_);
    if (accepted_)
        return;
    readChunk_ = 0;
    readOffset_ = 0;
    buffered_ = retained_;
    consumed_.store(0, std::memory_order_release);
}

bool HttpSource::readAll(std::string& out, std::size_t limit, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    bool ready = dataCv_.wait_until(lock, deadline,
                                    [&] { return aborted_.load() || finished_.load() || retained_ > limit; });
    if (!ready || aborted_.load() || retained_ > limit)
        return false;
    if (status_.failure != Failure::None)
        return false;
    out.clear();
    for (const auto& chunk : chunks_)
        out += chunk;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Playing phase

std::vector<std::pair<std::string, std::uint64_t>> HttpSource::accept(DownloadSink download,
                                                                      MetadataSink metadata,
                                                                      std::uint64_t bufferLimit,
                                                                      int stallTimeoutMs) {
    std::lock_guard lock(mutex_);
    accepted_ = true;
    flushNeeded_ = true;
    acceptedDownload_ = std::move(download);
    acceptedMetadata_ = std::move(metadata);
    bufferLimit_ = bufferLimit;
    stallTimeoutMs_ = stallTimeoutMs;
    pendingDelivery_.assign(chunks_.begin(), chunks_.end());
    // Drop what the opener has read already; only the unread rest stays queued.
    while (readChunk_ > 0) {
        retained_ -= chunks_.front().size();
        chunks_.pop_front();
        --readChunk_;
    }
    if (readOffset_ > 0 && !chunks_.empty()) {
        retained_ -= readOffset_;
        chunks_.front().erase(0, readOffset_);
        readOffset_ = 0;
    }
    roomCv_.notify_all();
    if (wakeable_)
        wakeable_->wake();
    auto early = std::move(earlyMetadata_);
    earlyMetadata_.clear();
    return early;
}

bool HttpSource::roomToResume() const {
    if (!accepted_)
        return false;
    return eagerRefill_ ? buffered_ < bufferLimit_ : buffered_ <= bufferLimit_ / 2;
}

void HttpSource::setEagerRefill(bool eager) {
    std::lock_guard lock(mutex_);
    eagerRefill_ = eager;
    if (paused_ && roomToResume())
        roomCv_.notify_all();
}

void HttpSource::abort() {
    aborted_.store(true, std::memory_order_release);
    std::lock_guard lock(mutex_);
    if (wakeable_)
        wakeable_->wake();
    roomCv_.notify_all();
    dataCv_.notify_all();
}

void HttpSource::waitStopped() {
    std::unique_lock lock(mutex_);
    stopCv_.wait(lock, [&] { return stopped_; });
}

} // namespace tembrik::audio::source
