#pragma once
#include <filesystem>
#include <string>

// The proxy for audio streams: the first line of proxy.txt in the program directory, or "." (no
// proxy) when there is no such file. Raises FileError when the file exists but cannot be read.
std::string ReadProxySetting(const std::filesystem::path& programDir);
