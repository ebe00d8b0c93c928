#include "tembrik/platform/HttpTransfer.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "CurlModule.h"
#include "PlainTransfer.h"

namespace tembrik::platform {
namespace detail {
namespace {

std::mutex loadMutex;
std::atomic<CurlStart> loaded{nullptr}; // written under loadMutex; never unloaded again

std::string programDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Where the module is looked for: the named file alone, or beside the program, then where this
// build put it (tests and tools run from the build tree, away from the program's folder).
std::vector<std::string> candidates() {
    if (const char* named = std::getenv("TEMBRIK_CURL_MODULE"); named && *named)
        return {named};
    std::vector<std::string> paths;
    const std::string dir = programDirectory();
    if (!dir.empty())
        paths.push_back(dir + "/" TEMBRIK_CURL_MODULE_NAME);
    if (paths.empty() || paths.front() != TEMBRIK_CURL_MODULE_BUILD_PATH)
        paths.emplace_back(TEMBRIK_CURL_MODULE_BUILD_PATH);
    return paths;
}

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
    std::string reasons;
    for (const std::string& path : candidates()) {
        if (::access(path.c_str(), F_OK) != 0)
            continue;
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            reasons += "; " + path + ": " + (why ? why : "cannot load");
            continue;
        }
        auto abi = reinterpret_cast<int (*)()>(::dlsym(handle, "tembrik_curl_module_abi"));
        auto start = reinterpret_cast<CurlStart>(::dlsym(handle, "tembrik_curl_start"));
        if (!abi || !start || abi() != kCurlModuleAbi) {
            ::dlclose(handle);
            reasons += "; " + path + ": from another build";
            continue;
        }
        loaded.store(start, std::memory_order_release);
        return start;
    }
    error = reasons.empty() ? "this address needs the libcurl module (" TEMBRIK_CURL_MODULE_NAME
                              "), which is not installed"
                            : "the libcurl module cannot be loaded" + reasons;
    return nullptr;
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
