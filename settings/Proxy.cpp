#include "Proxy.h"

#include "tembrik/platform/TextFile.h"

#include <system_error>

std::string ReadProxySetting(const std::filesystem::path& programDir) {
    const auto file = programDir / "proxy.txt";
    std::error_code ec;
    // A folder of that name exists too, and reading it fails with the access error as it should.
    if (!std::filesystem::exists(file, ec))
        return ".";
    return tembrik::platform::TextLines::read(file).line(0);
}
