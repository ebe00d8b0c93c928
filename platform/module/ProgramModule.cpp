#include "tembrik/platform/ProgramModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace tembrik::platform {
namespace {

std::string programDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// The named file alone, or beside the program, then where the build put it.
std::vector<std::string> candidates(const ModuleFile& file) {
    if (const char* named = std::getenv(file.overrideVariable); named && *named)
        return {named};
    std::vector<std::string> paths;
    const std::string dir = programDirectory();
    if (!dir.empty())
        paths.push_back(dir + "/" + file.fileName);
    if (paths.empty() || paths.front() != file.buildPath)
        paths.emplace_back(file.buildPath);
    return paths;
}

} // namespace

void* loadProgramModule(const ModuleFile& file, const char* abiSymbol, int abi, const char* entry,
                        const std::string& purpose, std::string& error) {
    std::string reasons;
    for (const std::string& path : candidates(file)) {
        if (::access(path.c_str(), F_OK) != 0)
            continue;
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            reasons += "; " + path + ": " + (why ? why : "cannot load");
            continue;
        }
        auto abiOf = reinterpret_cast<int (*)()>(::dlsym(handle, abiSymbol));
        void* found = ::dlsym(handle, entry);
        if (!abiOf || !found || abiOf() != abi) {
            ::dlclose(handle);
            reasons += "; " + path + ": from another build";
            continue;
        }
        return found;
    }
    error = reasons.empty() ? purpose + " (" + file.fileName + "), which is not installed"
                            : "the module " + std::string(file.fileName) + " cannot be loaded" + reasons;
    return nullptr;
}

} // namespace tembrik::platform
