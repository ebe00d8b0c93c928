#include "tembrik/platform/HttpTransfer.h"

#include <atomic>
#include <mutex>

#include "CurlModule.h"
#include "PlainTransfer.h"
#include "tembrik/platform/ProgramModule.h"

namespace tembrik::platform {
namespace detail {
namespace {

std::mutex loadMutex;
std::atomic<CurlStart> loaded{nullptr}; // written under loadMutex; never unloaded again

std::unique_ptr<HttpTransfer> startCurlTransfer(const TransferRequest& request, TransferEvents& events,
                                                std::string& error) {
    const CurlStart start = curlModule(error);
    return start ? std::unique_ptr<HttpTransfer>(start(request, events, error)) : nullptr;
}

} // namespace

CurlStart curlModule(std::string& error) {
    if (CurlStart start = loaded.load(std::memory_order_acquire))
        return start;
    std::lock_guard lock(loadMutex);
    if (CurlStart start = loaded.load(std::memory_order_acquire))
        return start;
    static constexpr ModuleFile file{"TEMBRIK_CURL_MODULE", TEMBRIK_CURL_MODULE_NAME,
                                     TEMBRIK_CURL_MODULE_BUILD_PATH};
    auto start = reinterpret_cast<CurlStart>(
        loadProgramModule(file, "tembrik_curl_module_abi", kCurlModuleAbi, "tembrik_curl_start",
                          "this address needs the libcurl module", error));
    loaded.store(start, std::memory_order_release);
    return start;
}

} // namespace detail

std::unique_ptr<HttpTransfer> startHttpTransfer(const TransferRequest& request, TransferEvents& events,
                                                std::string& error) {
    if (!detail::plainTransferCanDo(request))
        return detail::startCurlTransfer(request, events, error);
    return detail::startPlainTransfer(request, events,
                                      [&events](const TransferRequest& next, std::string& why) {
                                          return detail::startCurlTransfer(next, events, why);
                                      });
}

} // namespace tembrik::platform
