#pragma once
// The program's modules: shared objects beside the program (tembrik-curl.so,
// tembrik-audio-ffmpeg.so) that keep big libraries out of a process until it needs them.
#include <string>

namespace tembrik::platform {

struct ModuleFile {
    const char* overrideVariable; // an environment variable that names another file
    const char* fileName;         // looked for beside the program
    const char* buildPath;        // then where the build put it (tests and tools run from there)
};

// Loads the module (any thread; the caller keeps the result, modules are never unloaded) and
// returns its `entry` symbol once its `abiSymbol` function has returned `abi`; a module of another
// build is refused. nullptr with the reason in `error`, which names `purpose` when no file exists.
void* loadProgramModule(const ModuleFile& file, const char* abiSymbol, int abi, const char* entry,
                        const std::string& purpose, std::string& error);

} // namespace tembrik::platform
