#pragma once
#include <filesystem>

namespace tembrik::platform {

// The directory of the running executable: every file the program keeps lives there.
std::filesystem::path programDir();

// The running executable, as it lies in programDir() (so a test's program directory names it too).
std::filesystem::path programExecutable();

// Tests point the program at a directory of their own.
void setProgramDirForTesting(const std::filesystem::path& dir);

} // namespace tembrik::platform
