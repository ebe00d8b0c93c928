#include "tembrik/platform/ProgramDir.h"

#include <mutex>
#include <system_error>

namespace tembrik::platform {

namespace {
std::mutex mutex;
std::filesystem::path overridden; // guarded by mutex
} // namespace

std::filesystem::path programDir() {
    {
        std::lock_guard lock(mutex);
        if (!overridden.empty())
            return overridden;
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path();
    return exe.parent_path();
}

std::filesystem::path programExecutable() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return programDir() / (ec ? std::filesystem::path("tembrik") : exe.filename());
}

void setProgramDirForTesting(const std::filesystem::path& dir) {
    std::lock_guard lock(mutex);
    overridden = dir;
}

} // namespace tembrik::platform
