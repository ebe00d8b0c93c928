// One HTTP/HTTPS transfer on its own download thread (platform/HttpTransfer.h): redirects, "ICY 200 OK"
// answers, "Icy-MetaData: 1", user agent, proxy, time-outs. The body's metadata blocks are removed
// (IcyDemuxer) and the audio bytes queue in the network buffer, from which the opener and then the
// decoder read.
//
// Two phases. While opening, every body byte is retained so that the opener may look at the start,
// read a playlist whole, or rewind and probe again; nothing is delivered to the user. accept()
// makes the transfer a stream's: from then on the download thread calls the download routine
// (header text, then every audio block received so far and later, then the end call) and the
// metadata routine, and pauses the transfer whenever the network buffer is full, so that the
// transfer sleeps between bursts instead of waking for every packet.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/ThreadGroup.h"
#include "tembrik/platform/HttpTransfer.h"

namespace tembrik::audio::source {

using Clock = std::chrono::steady_clock;

struct HttpRequest {
    std::string url;
    int timeoutMs = 5000;  // connection, and the answer's first body bytes
    std::string userAgent; // empty: none sent
    std::string proxy;     // empty: direct
    bool icyMetadata = true;
};

struct Response {
    int status = 0;
    bool icy = false;         // the server answered "ICY 200 OK"
    std::string contentType;  // as sent, parameters included
    std::string headerText;   // status line and header lines, each ended by "\r\n"
    std::string effectiveUrl; // after redirects
    std::size_t metaint = 0;  // icy-metaint, 0 without metadata
    std::int64_t contentLength = -1;
    int bitrateKbps = 0; // icy-br, 0 when not sent
};

enum class Failure { None, BadAddress, Refused, Timeout, HttpStatus, Network, Aborted };

struct SourceStatus {
    Failure failure = Failure::None;
    int httpStatus = 0;
    std::string detail;
};

class HttpSource : public std::enable_shared_from_this<HttpSource> {
public:
    using DownloadSink = std::function<void(const char*, std::size_t)>;
    // text, and the stream byte (audio bytes before the block, as downloaded() counts) where it arrived
    using MetadataSink = std::function<void(const std::string&, std::uint64_t)>;

    // Starts the transfer on a new thread of `threads`.
    static std::shared_ptr<HttpSource> start(HttpRequest request,
                                             std::shared_ptr<common::ThreadGroup> threads);
    HttpSource(const HttpSource&) = delete;
    HttpSource& operator=(const HttpSource&) = delete;
    ~HttpSource();

    // --- opening phase (any one thread) ---

    // Waits for the response headers and min(minBytes, whole body) body bytes. False when the
    // transfer failed (status() says why), the deadline passed (Timeout) or it was aborted.
    bool waitForBody(std::size_t minBytes, Clock::time_point deadline);
    Response response() const;
    SourceStatus status() const;
    std::string peekStart(std::size_t n) const; // the first n body bytes (fewer if not there)

    // Reads up to n bytes, waiting until some are there. Returns the count, or one of these.
    static constexpr long kEnd = 0, kAborted = -1, kTimedOut = -2;
    long read(char* dst, std::size_t n, std::optional<Clock::time_point> deadline = std::nullopt);
    void rewind(); // back to the first body byte (opening phase only)
    // Reads the whole body (up to limit bytes; more is an error). False on failure or time-out.
    bool readAll(std::string& out, std::size_t limit, Clock::time_point deadline);

    // --- playing phase ---

    // Hands the transfer to a stream. bufferLimit: network buffer size in bytes (the transfer pauses
    // when that much is queued unread). stallTimeoutMs: no data for that long ends the download.
    // Returns the metadata blocks received before, oldest first, each with its stream byte.
    std::vector<std::pair<std::string, std::uint64_t>> accept(DownloadSink download, MetadataSink metadata,
                                                              std::uint64_t bufferLimit, int stallTimeoutMs);

    // While a stream is not playing, keep its network buffer full (so a fill percentage can only
    // grow); while it plays, refill in bursts from half full (so the transfer sleeps in between).
    void setEagerRefill(bool eager);

    void abort();       // ends the transfer soon; any thread
    void waitStopped(); // until the download thread has finished (not for accepted sources)

    std::uint64_t downloaded() const { return downloaded_.load(std::memory_order_acquire); }
    std::uint64_t consumed() const { return consumed_.load(std::memory_order_acquire); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // The buffer reached its limit and the transfer waits for room (lock-free, any thread).
    bool heldBack() const { return heldBack_.load(std::memory_order_acquire); }
    bool aborted() const { return aborted_.load(std::memory_order_acquire); }

    // The transfer's events (download thread). onHeader returns 0 to end the transfer; onBody
    // returns the length taken, 0 to end the transfer, or kPaused when the buffer is full.
    static constexpr std::size_t kPaused = static_cast<std::size_t>(-1);
    std::size_t onHeader(const char* data, std::size_t length);
    std::size_t onBody(const char* data, std::size_t length);

private:
    explicit HttpSource(HttpRequest request);
    void run();
    void startBody();
    void flushIfAccepted();
    void finish(SourceStatus status);
    bool roomToResume() const; // mutex_ held
    void deliver(const char* data, std::size_t length);

    const HttpRequest request_;
    std::shared_ptr<common::ThreadGroup> threads_; // set by start()

    class Events;

    // Download thread only.
    platform::HttpTransfer* transfer_ = nullptr; // while run() has one
    std::vector<std::string> headerLines_;       // of the latest response
    std::size_t headerBytes_ = 0;                // of the latest response
    bool headerTooLarge_ = false;
    bool bodyStartedLocal_ = false;
    bool delivering_ = false; // header delivered; data goes straight to the download sink
    DownloadSink downloadSink_;
    MetadataSink metadataSink_;
    Clock::time_point lastData_;
    Clock::time_point transferStart_;
    class Demuxer;
    std::unique_ptr<Demuxer> demuxer_;
    std::string audioScratch_;
    std::vector<std::pair<std::string, std::uint64_t>> metaScratch_; // text, stream byte

    std::atomic<bool> aborted_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> heldBack_{false};        // mirrors paused_, for readers that may not lock
    std::atomic<std::uint64_t> downloaded_{0}; // written under mutex_
    std::atomic<std::uint64_t> consumed_{0};   // written under mutex_

    mutable std::mutex mutex_;
    std::condition_variable dataCv_; // readers wait for data or the end
    std::condition_variable roomCv_; // the download thread waits for room, or for accept()
    std::condition_variable stopCv_;
    platform::HttpTransfer* wakeable_ = nullptr; // guarded by mutex_: run()'s transfer, for wake-ups
    bool bodyStarted_ = false;                   // guarded by mutex_
    Response response_;                          // guarded by mutex_
    SourceStatus status_;                        // guarded by mutex_
    std::deque<std::string> chunks_;             // guarded by mutex_: audio bytes, oldest first
    std::size_t readChunk_ = 0;                  // guarded by mutex_: read cursor
    std::size_t readOffset_ = 0;                 // guarded by mutex_
    std::uint64_t buffered_ = 0;                 // guarded by mutex_: bytes after the cursor
    std::uint64_t retained_ = 0;                 // guarded by mutex_: all bytes in chunks_
    bool accepted_ = false;                      // guarded by mutex_
    bool flushNeeded_ = false;                   // guarded by mutex_
    std::vector<std::string> pendingDelivery_;   // guarded by mutex_
    DownloadSink acceptedDownload_;              // guarded by mutex_
    MetadataSink acceptedMetadata_;              // guarded by mutex_
    std::uint64_t bufferLimit_ = 0;              // guarded by mutex_
    int stallTimeoutMs_ = 0;                     // guarded by mutex_
    bool paused_ = false;                        // guarded by mutex_
    bool eagerRefill_ = true;                    // guarded by mutex_
    bool stopped_ = false;                       // guarded by mutex_
    std::vector<std::pair<std::string, std::uint64_t>> earlyMetadata_; // guarded by mutex_: before accept()
};

} // namespace tembrik::audio::source
