#include "source/HttpSource.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "source/IcyDemuxer.h"
#include "source/Url.h"
#include "tembrik/audio/Trace.h"
#include "tembrik/platform/Curl.h"

namespace tembrik::audio::source {

class HttpSource::Demuxer : public IcyDemuxer {
public:
    using IcyDemuxer::IcyDemuxer;
};

namespace {

// Bytes kept while opening; a transfer that gets this far ahead of the opener pauses.
constexpr std::uint64_t kRetainLimit = 4u << 20;
constexpr std::size_t kMaxHeaderBytes = 256 * 1024; // all lines of one response

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

size_t headerThunk(char* data, size_t size, size_t count, void* self) {
    return static_cast<HttpSource*>(self)->onHeader(data, size * count);
}

size_t bodyThunk(char* data, size_t size, size_t count, void* self) {
    return static_cast<HttpSource*>(self)->onBody(data, size * count);
}

SourceStatus mapCurlError(CURLcode code, long httpStatus, const char* errorText) {
    SourceStatus s;
    s.detail = errorText && *errorText ? errorText : curl_easy_strerror(code);
    switch (code) {
    case CURLE_URL_MALFORMAT:
        s.failure = Failure::BadAddress;
        break;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_LOGIN_DENIED:
        s.failure = Failure::Refused;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        s.failure = Failure::Timeout;
        break;
    case CURLE_HTTP_RETURNED_ERROR:
        s.failure = Failure::HttpStatus;
        s.httpStatus = static_cast<int>(httpStatus);
        s.detail = "HTTP " + std::to_string(httpStatus);
        break;
    default:
        s.failure = Failure::Network;
        break;
    }
    return s;
}

} // namespace

std::shared_ptr<HttpSource> HttpSource::start(HttpRequest request,
                                              std::shared_ptr<common::ThreadGroup> threads) {
    platform::initCurl();
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
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (!easy || !multi) {
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
        finish({Failure::Network, 0, "libcurl could not start"});
        std::lock_guard lock(mutex_);
        stopped_ = true;
        stopCv_.notify_all();
        return;
    }
    easy_ = easy;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    if (request_.icyMetadata)
        headers = curl_slist_append(headers, "Icy-MetaData: 1");
    curl_slist* aliases = curl_slist_append(nullptr, "ICY 200 OK"); // SHOUTcast v1 answers
    curl_easy_setopt(easy, CURLOPT_URL, request_.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request_.timeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
    curl_easy_setopt(easy, CURLOPT_PROXY, request_.proxy.c_str());
    if (!request_.userAgent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, request_.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerThunk);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, bodyThunk);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_multi_add_handle(multi, easy);
    {
        std::lock_guard lock(mutex_);
        multi_ = multi;
    }

    transferStart_ = Clock::now();
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
                curl_easy_pause(easy, CURLPAUSE_CONT); // may deliver held-back data right here
                continue;
            }
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = {Failure::Network, 0, "libcurl multi error"};
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            done = true;
            CURLcode code = msg->data.result;
            if (aborted_.load()) {
                result = {Failure::Aborted, 0, "aborted"};
            } else if (code != CURLE_OK) {
                long status = 0;
                curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
                result = mapCurlError(code, status, errorText);
                // libcurl refuses a single header line over its own limit as "Out of memory".
                if (!bodyStartedLocal_ && (headerTooLarge_ || code == CURLE_OUT_OF_MEMORY))
                    result = {Failure::Network, 0, "the server's header is too large"};
            }
        }
        if (done || running == 0)
            break;
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
            {
                std::lock_guard lock(mutex_);
                stall = accepted_ ? stallTimeoutMs_ : 0;
            }
            if (stall > 0 && now - lastData_ > std::chrono::milliseconds(stall)) {
                result = {Failure::Network, 0, "the stream stalled"};
                break;
            }
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    if (!bodyStartedLocal_ && result.failure == Failure::None)
        startBody(); // empty body
    {
        std::lock_guard lock(mutex_);
        multi_ = nullptr;
    }
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_slist_free_all(aliases);
    easy_ = nullptr;
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
    auto* easy = static_cast<CURL*>(easy_);
    if (easy) {
        curl_off_t connectUs = 0;
        if (curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectUs) == CURLE_OK && connectUs > 0)
            ::tembrik::audio::detail::trace("connected",
                                            transferStart_ + std::chrono::microseconds(connectUs));
        ::tembrik::audio::detail::trace("answer and first bytes", lastData_);
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        r.status = static_cast<int>(status);
        char* url = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
            r.effectiveUrl = url;
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
            return CURL_WRITEFUNC_PAUSE;
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
    if (multi_)
        curl_multi_wakeup(static_cast<CURLM*>(multi_));
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
    if (multi_)
        curl_multi_wakeup(static_cast<CURLM*>(multi_));
    roomCv_.notify_all();
    dataCv_.notify_all();
}

void HttpSource::waitStopped() {
    std::unique_lock lock(mutex_);
    stopCv_.wait(lock, [&] { return stopped_; });
}

} // namespace tembrik::audio::source
