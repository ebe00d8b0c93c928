#include "decode/FfmpegModule.h"

#include <atomic>
#include <mutex>

#include "tembrik/platform/ProgramModule.h"

namespace tembrik::audio::decode {
namespace {

std::mutex loadMutex;
std::atomic<FfmpegOpen> loaded{nullptr}; // written under loadMutex; never unloaded again

} // namespace

FfmpegOpen ffmpegModule(std::string& error) {
    if (FfmpegOpen open = loaded.load(std::memory_order_acquire))
        return open;
    std::lock_guard lock(loadMutex);
    if (FfmpegOpen open = loaded.load(std::memory_order_acquire))
        return open;
    static constexpr platform::ModuleFile file{"TEMBRIK_FFMPEG_MODULE", TEMBRIK_FFMPEG_MODULE_NAME,
                                               TEMBRIK_FFMPEG_MODULE_BUILD_PATH};
    auto open = reinterpret_cast<FfmpegOpen>(platform::loadProgramModule(
        file, "tembrik_ffmpeg_module_abi", kFfmpegModuleAbi, "tembrik_ffmpeg_open",
        "this format needs the FFmpeg decoder module", error));
    loaded.store(open, std::memory_order_release);
    return open;
}

} // namespace tembrik::audio::decode
