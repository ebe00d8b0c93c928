#include "tembrik/net/Http.h"

#include <algorithm>
#include <memory>

#include "tembrik/platform/HttpTransfer.h"

namespace tembrik::net {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting transfer looks at its cancel flag and its read time-out.
constexpr int PollMs = 50;

// The transfer's events, on the calling thread.
class Receiver final : public platform::TransferEvents {
public:
    Receiver(const BodySink& sink, std::size_t limit) : sink_(sink), limit_(limit) {}

    bool onHeaderLine(std::string_view) override {
        lastActivity = Clock::now();
        return true;
    }

    platform::BodyAnswer onBody(std::string_view piece) override {
        lastActivity = Clock::now();
        received_ += piece.size();
        if (received_ > limit_) {
            sinkError = "the answer is larger than " + std::to_string(limit_) + " bytes";
            return platform::BodyAnswer::Stop;
        }
        if (!sink_(piece)) {
            if (sinkError.empty())
                sinkError = "the answer could not be stored";
            return platform::BodyAnswer::Stop;
        }
        return platform::BodyAnswer::Take;
    }

    Clock::time_point lastActivity = Clock::now();
    std::string sinkError;

private:
    const BodySink& sink_;
    const std::size_t limit_;
    std::size_t received_ = 0;
};

} // namespace

HttpResult httpTransfer(const std::string& url, const HttpOptions& options, const BodySink& sink,
                        const CancelFlag* cancel) {
    HttpResult result;
    platform::TransferRequest request;
    request.url = url;
    request.userAgent = options.userAgent;
    request.proxy = options.proxy;
    request.maxRedirects = options.maxRedirects;
    request.connectTimeout = options.connectTimeout;
    Receiver receiver(sink, options.maxBodyBytes);
    std::unique_ptr<platform::HttpTransfer> transfer =
        platform::startHttpTransfer(request, receiver, result.error);
    if (!transfer)
        return result;

    // The read time-out counts from the moment a connection stands (the connect time-out covers the
    // time before) and starts again with every byte that arrives.
    bool connected = false;
    std::string stopped;
    for (;;) {
        if (transfer->perform())
            break;
        if (cancel && cancel->load()) {
            stopped = "cancelled";
            break;
        }
        if (!connected && transfer->connectedAt()) {
            connected = true;
            receiver.lastActivity = std::max(receiver.lastActivity, *transfer->connectedAt());
        }
        if (connected && options.readTimeout.count() > 0 &&
            Clock::now() - receiver.lastActivity >= options.readTimeout) {
            stopped =
                "timed out after " + std::to_string(options.readTimeout.count()) + " ms without an answer";
            break;
        }
        transfer->wait(PollMs);
    }
    const platform::TransferResult outcome = transfer->result();
    result.status = transfer->status();

    if (!stopped.empty())
        result.error = stopped;
    else if (outcome.failure == platform::TransferFailure::Stopped && !receiver.sinkError.empty())
        result.error = receiver.sinkError;
    else if (outcome.failure != platform::TransferFailure::None)
        result.error = outcome.detail.empty() ? std::string("the transfer failed") : outcome.detail;
    else if (result.status < 200 || result.status >= 300)
        result.error = "HTTP " + std::to_string(result.status);
    else
        result.ok = true;
    return result;
}

HttpResult httpGet(const std::string& url, const HttpOptions& options, const CancelFlag* cancel) {
    std::string body;
    const BodySink keep = [&body](std::string_view piece) {
        body.append(piece);
        return true;
    };
    HttpResult result = httpTransfer(url, options, keep, cancel);
    if (result.ok)
        result.body = std::move(body);
    return result;
}

} // namespace tembrik::net
