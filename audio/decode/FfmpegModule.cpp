#include "decode/FfmpegModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace tembrik::audio::decode {
namespace {

std::mutex loadMutex;
std::atomic<FfmpegOpen> loaded{nullptr}; // written under loadMutex; never unloaded again

std::string programDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Where the module is looked for: the named file alone, or beside the program, then where this
// build put it (tests and tools run from the build tree, away from the program's folder).
std::vector<std::string> candidates() {
    if (const char* named = std::getenv("TEMBRIK_FFMPEG_MODULE"); named && *named)
        return {named};
    std::vector<std::string> paths;
    const std::string dir = programDirectory();
    if (!dir.empty())
        paths.push_back(dir + "/" TEMBRIK_FFMPEG_MODULE_NAME);
    if (paths.empty() || paths.front() != TEMBRIK_FFMPEG_MODULE_BUILD_PATH)
        paths.emplace_back(TEMBRIK_FFMPEG_MODULE_BUILD_PATH);
    return paths;
}

} // namespace

FfmpegOpen ffmpegModule(std::string& error) {
    if (FfmpegOpen open = loaded.load(std::memory_order_acquire))
        return open;
    std::lock_guard lock(loadMutex);
    if (FfmpegOpen open = loaded.load(std::memory_order_acquire))
        return open;
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
        auto abi = reinterpret_cast<int (*)()>(::dlsym(handle, "tembrik_ffmpeg_module_abi"));
        auto open = reinterpret_cast<FfmpegOpen>(::dlsym(handle, "tembrik_ffmpeg_open"));
        if (!abi || !open || abi() != kFfmpegModuleAbi) {
            ::dlclose(handle);
            reasons += "; " + path + ": from another build";
            continue;
        }
        loaded.store(open, std::memory_order_release);
        return open;
    }
    error = reasons.empty() ? "this format needs the FFmpeg decoder module (" TEMBRIK_FFMPEG_MODULE_NAME
                              "), which is not installed"
                            : "the FFmpeg decoder module cannot be loaded" + reasons;
    return nullptr;
}

} // namespace tembrik::audio::decode
