#include "NetClient.h"

#include "app/PlayerState.h"
#include "tembrik/net/BackgroundTask.h"
#include "tembrik/net/DownloadList.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QScopeGuard>

#include <memory>
#include <mutex>

namespace {

bool busy = false; // GUI thread

// The loop a finished task wakes; cleared before the loop goes, under the mutex, so a late
// task never posts to a loop that no longer exists.
struct Wakeup {
    std::mutex mutex;
    QEventLoop* loop = nullptr; // guarded by mutex
};

} // namespace

tembrik::net::HttpOptions ProgramHttpOptions(std::chrono::milliseconds connectTimeout,
                                             std::chrono::milliseconds readTimeout) {
    const PlayerState& s = State();
    tembrik::net::HttpOptions o;
    o.connectTimeout = connectTimeout;
    o.readTimeout = readTimeout;
    o.userAgent = s.AgentText.data();
    const std::string proxy = s.ProxyText.data();
    if (!proxy.empty() && proxy.front() != '.')
        o.proxy = proxy;
    return o;
}

bool NetworkBusy() {
    return busy;
}

void RunWhileResponsive(const std::function<void(const tembrik::net::CancelFlag&)>& work) {
    if (busy)
        throw NetError("another transfer is running");
    busy = true;
    const auto notBusy = qScopeGuard([] { busy = false; });

    QEventLoop loop;
    auto wakeup = std::make_shared<Wakeup>();
    wakeup->loop = &loop;
    tembrik::net::BackgroundTask task(work, [wakeup] {
        std::lock_guard lock(wakeup->mutex);
        if (wakeup->loop)
            QMetaObject::invokeMethod(wakeup->loop, "quit", Qt::QueuedConnection);
    });
    // The loop also ends when the application quits, before the task is done.
    if (!task.done())
        loop.exec();
    {
        std::lock_guard lock(wakeup->mutex);
        wakeup->loop = nullptr;
    }
    if (!task.done()) {
        task.cancel();
        throw NetCancelled();
    }
    if (const std::exception_ptr error = task.error())
        std::rethrow_exception(error);
}

HttpTimeouts& NetClientTimeouts() {
    static HttpTimeouts timeouts; // GUI thread
    return timeouts;
}

std::string HttpGet(const std::string& url, std::chrono::milliseconds connectTimeout,
                    std::chrono::milliseconds readTimeout) {
    const tembrik::net::HttpOptions options = ProgramHttpOptions(connectTimeout, readTimeout);
    tembrik::net::HttpResult result;
    RunWhileResponsive([&](const tembrik::net::CancelFlag& cancel) {
        result = tembrik::net::httpGet(url, options, &cancel);
    });
    if (!result.ok)
        throw NetError(result.error);
    return std::move(result.body);
}

std::vector<std::string> DownloadList(const std::vector<std::string>& urls,
                                      const std::vector<std::string>& names,
                                      const std::filesystem::path& folder) {
    const HttpTimeouts& t = NetClientTimeouts();
    const tembrik::net::HttpOptions options = ProgramHttpOptions(t.connect, t.read);
    std::vector<std::string> errors;
    RunWhileResponsive([&](const tembrik::net::CancelFlag& cancel) {
        errors = tembrik::net::downloadList(urls, names, folder, options, &cancel);
    });
    return errors;
}
