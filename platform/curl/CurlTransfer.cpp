// HttpTransfer on libcurl (the module tembrik-curl.so; platform/http/CurlModule.h says why it is a
// module): https://, proxies, addresses with a user name, and redirects there from http://.
//
// Global set-up: Debian's libcurl is built with libssh2 (for SCP and SFTP), and curl_global_init()
// initialises libssh2, which initialises OpenSSL: some 3 MB of code and tables touched for nothing.
// Every transfer limits its protocols to HTTP and HTTPS, so libssh2 is initialised first, without
// its crypto library. The module links the GnuTLS flavour of libcurl (same API) so that curl's own
// TLS does not bring OpenSSL back (see platform/CMakeLists.txt).
#include <curl/curl.h>
#include <libssh2.h>

#include <mutex>
#include <new>

#include "CurlModule.h"

namespace tembrik::platform::detail {
namespace {

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        libssh2_init(LIBSSH2_INIT_NO_CRYPTO);
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

TransferFailure failureOf(CURLcode code, bool bodyStarted) {
    switch (code) {
    case CURLE_OK:
        return TransferFailure::None;
    case CURLE_URL_MALFORMAT:
        return TransferFailure::BadAddress;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return TransferFailure::Resolve;
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
        return TransferFailure::Connect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return TransferFailure::Tls;
    case CURLE_OPERATION_TIMEDOUT:
        return TransferFailure::Timeout;
    case CURLE_HTTP_RETURNED_ERROR:
        return TransferFailure::HttpStatus;
    case CURLE_WRITE_ERROR:
        return TransferFailure::Stopped;
    case CURLE_OUT_OF_MEMORY:
        // libcurl refuses a single header line over its own limit as "Out of memory".
        return bodyStarted ? TransferFailure::Network : TransferFailure::HeaderTooLarge;
    default:
        return TransferFailure::Network;
    }
}

// Everything here runs on the owner's thread, but wake(), which libcurl allows from any thread.
class CurlTransfer final : public HttpTransfer {
public:
    CurlTransfer(CURL* easy, CURLM* multi, TransferEvents& events)
        : easy_(easy), multi_(multi), events_(events), start_(Clock::now()) {}

    ~CurlTransfer() override {
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
        curl_slist_free_all(aliases_);
    }

    bool configure(const TransferRequest& request) {
        for (const auto& line : request.headers) {
            if (curl_slist* more = curl_slist_append(headers_, line.c_str()))
                headers_ = more;
            else
                return false;
        }
        aliases_ = curl_slist_append(nullptr, "ICY 200 OK"); // SHOUTcast v1 answers
        if (!aliases_)
            return false;
        curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, request.maxRedirects);
        curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count()));
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(easy_, CURLOPT_HTTP200ALIASES, aliases_);
        // An empty text is a direct connection whatever the environment says.
        curl_easy_setopt(easy_, CURLOPT_PROXY, request.proxy.c_str());
        if (!request.userAgent.empty())
            curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.userAgent.c_str());
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, headerThunk);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, bodyThunk);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
        return curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }

    bool perform() override {
        if (done_)
            return true;
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            end({TransferFailure::Network, status(), "libcurl multi error"});
            return true;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                const CURLcode code = msg->data.result;
                TransferResult r{failureOf(code, bodyStarted_), status(), {}};
                if (r.failure == TransferFailure::HttpStatus)
                    r.detail = "HTTP " + std::to_string(r.status);
                else if (r.failure == TransferFailure::HeaderTooLarge)
                    r.detail = "the server's header is too large";
                else if (code != CURLE_OK)
                    r.detail = errorText_[0] != '\0' ? errorText_ : curl_easy_strerror(code);
                end(std::move(r));
            }
        }
        if (!done_ && running == 0)
            end({TransferFailure::Network, status(), "the transfer ended without a result"});
        return done_;
    }

    void wait(int ms) override { curl_multi_poll(multi_, nullptr, 0, ms, nullptr); }
    void wake() override { curl_multi_wakeup(multi_); }
    void resume() override { curl_easy_pause(easy_, CURLPAUSE_CONT); }
    TransferResult result() const override { return result_; }

    long status() const override {
        long code = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
        return code;
    }

    std::string effectiveUrl() const override {
        char* url = nullptr;
        return curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url ? url : "";
    }

    std::optional<Clock::time_point> connectedAt() const override {
        curl_off_t us = 0;
        if (curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &us) != CURLE_OK || us <= 0)
            return std::nullopt;
        return start_ + std::chrono::microseconds(us);
    }

private:
    static size_t headerThunk(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<CurlTransfer*>(self);
        return t->events_.onHeaderLine(std::string_view(data, size * count)) ? size * count : 0;
    }

    static size_t bodyThunk(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<CurlTransfer*>(self);
        t->bodyStarted_ = true;
        switch (t->events_.onBody(std::string_view(data, size * count))) {
        case BodyAnswer::Take:
            return size * count;
        case BodyAnswer::Pause:
            return CURL_WRITEFUNC_PAUSE;
        case BodyAnswer::Stop:
            break;
        }
        return 0;
    }

    void end(TransferResult r) {
        done_ = true;
        result_ = std::move(r);
    }

    CURL* easy_;
    CURLM* multi_;
    TransferEvents& events_;
    const Clock::time_point start_;
    curl_slist* headers_ = nullptr;
    curl_slist* aliases_ = nullptr;
    char errorText_[CURL_ERROR_SIZE] = {};
    bool bodyStarted_ = false;
    bool done_ = false;
    TransferResult result_;
};

} // namespace
} // namespace tembrik::platform::detail

using namespace tembrik::platform;

extern "C" TEMBRIK_CURL_EXPORT int tembrik_curl_module_abi() {
    return detail::kCurlModuleAbi;
}

extern "C" TEMBRIK_CURL_EXPORT HttpTransfer* tembrik_curl_start(const TransferRequest& request,
                                                                TransferEvents& events, std::string& error) {
    try {
        detail::initCurl();
        CURL* easy = curl_easy_init();
        CURLM* multi = curl_multi_init();
        if (!easy || !multi) {
            curl_easy_cleanup(easy);
            curl_multi_cleanup(multi);
            error = "libcurl could not start";
            return nullptr;
        }
        auto* transfer = new detail::CurlTransfer(easy, multi, events);
        if (!transfer->configure(request)) {
            delete transfer;
            error = "libcurl could not start";
            return nullptr;
        }
        return transfer;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}
