#include "tembrik/net/Http.h"

#include <curl/curl.h>

#include <memory>

#include "tembrik/platform/Curl.h"

namespace tembrik::net {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting transfer looks at its cancel flag and its read time-out.
constexpr int PollMs = 50;

struct Transfer {
    const BodySink* sink = nullptr;
    std::size_t limit = 0;
    std::size_t received = 0;
    Clock::time_point lastActivity = Clock::now();
    std::string sinkError;
};

std::size_t onHeader(char*, std::size_t size, std::size_t count, void* user) {
    static_cast<Transfer*>(user)->lastActivity = Clock::now();
    return size * count;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    t->lastActivity = Clock::now();
    t->received += n;
    if (t->received > t->limit) {
        t->sinkError = "the answer is larger than " + std::to_string(t->limit) + " bytes";
        return 0;
    }
    if (!(*t->sink)(std::string_view(data, n))) {
        if (t->sinkError.empty())
            t->sinkError = "the answer could not be stored";
        return 0;
    }
    return n;
}

struct EasyDeleter {
    void operator()(CURL* e) const { curl_easy_cleanup(e); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

void configure(CURL* easy, const std::string& url, const HttpOptions& options, Transfer& t, char* errorText) {
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
    // An empty text is a direct connection whatever the environment says.
    curl_easy_setopt(easy, CURLOPT_PROXY, options.proxy.c_str());
    if (!options.userAgent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
}

std::string reasonOf(CURLcode code, const char* errorText, long status) {
    if (code == CURLE_HTTP_RETURNED_ERROR && status != 0)
        return "HTTP " + std::to_string(status);
    return errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(code));
}

} // namespace

HttpResult httpTransfer(const std::string& url, const HttpOptions& options, const BodySink& sink,
                        const CancelFlag* cancel) {
    HttpResult result;
    platform::initCurl();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        result.error = "libcurl could not start";
        return result;
    }
    Transfer t;
    t.sink = &sink;
    t.limit = options.maxBodyBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    configure(easy.get(), url, options, t, errorText);
    curl_multi_add_handle(multi.get(), easy.get());

    // The read time-out counts from the moment a connection stands (libcurl's connect time-out
    // covers the time before) and starts again with every byte that arrives.
    bool connected = false;
    std::string stopped;
    CURLcode code = CURLE_OK;
    for (;;) {
        int running = 0;
        curl_multi_perform(multi.get(), &running);
        if (running == 0) {
            int left = 0;
            CURLMsg* msg = curl_multi_info_read(multi.get(), &left);
            code = msg && msg->msg == CURLMSG_DONE ? msg->data.result : CURLE_RECV_ERROR;
            break;
        }
        if (cancel && cancel->load()) {
            stopped = "cancelled";
            break;
        }
        if (!connected) {
            curl_off_t connectUs = 0;
            curl_easy_getinfo(easy.get(), CURLINFO_CONNECT_TIME_T, &connectUs);
            if (connectUs > 0) {
                connected = true;
                if (t.received == 0)
                    t.lastActivity = Clock::now();
            }
        }
        if (connected && options.readTimeout.count() > 0 &&
            Clock::now() - t.lastActivity >= options.readTimeout) {
            stopped =
                "timed out after " + std::to_string(options.readTimeout.count()) + " ms without an answer";
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, PollMs, nullptr);
    }
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &result.status);
    curl_multi_remove_handle(multi.get(), easy.get());

    if (!stopped.empty())
        result.error = stopped;
    else if (code != CURLE_OK)
        result.error = !t.sinkError.empty() && code == CURLE_WRITE_ERROR
                           ? t.sinkError
                           : reasonOf(code, errorText, result.status);
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
