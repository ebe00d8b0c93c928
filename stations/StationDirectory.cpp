#include "stations/StationDirectory.h"

#include "stations/StationStore.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/Integer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace tembrik::stations {

namespace fs = std::filesystem;

namespace {

// Every entry but "." and "..", whatever its kind; an unreadable or missing directory has none.
std::vector<std::string> ListEntries(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    // The listing order must not matter; sorted, the same stray name is always the one reported.
    std::sort(names.begin(), names.end());
    return names;
}

std::string RemoveAll(std::string text, const std::string& part) {
    if (part.empty())
        return text;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
    return text;
}

} // namespace

void ScanStationsDirectory() {
    const std::vector<std::string> names = ListEntries(StationsDir());
    std::vector<std::pair<std::int32_t, std::string>> logos;
    for (const std::string& name : names) {
        if (name.front() == 'p')
            continue;
        const std::size_t dot = name.rfind('.');
        std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
        const std::int32_t number = platform::parseInt(RemoveAll(name, extension));
        logos.emplace_back(number, std::move(extension));
    }

    PlayerState& s = State();
    for (auto& [number, extension] : logos) {
        if (IsStationNumber(number))
            s.LogoExtensions[static_cast<std::size_t>(number)] = std::move(extension);
    }
    const std::size_t stations = (names.size() + 1) / 2;
    s.StationCount = static_cast<std::int32_t>(std::min<std::size_t>(stations, MaxStations));
}

void DetectLogoType(int station) {
    const fs::path download = StationsDir() / std::to_string(station);
    std::FILE* f = std::fopen(download.c_str(), "rb");
    if (!f)
        return;
    const int c = std::fgetc(f);
    std::fclose(f);
    const int first = c == EOF ? 0x1A : c;

    const char* extension = nullptr;
    switch (first) {
    case 0x1A:
        extension = ".txt";
        break;
    case 'G':
        extension = ".gif";
        break;
    case 0x89:
        extension = ".png";
        break;
    case 0xFF:
        extension = ".jpg";
        break;
    default:
        return;
    }
    fs::path target = download;
    target += extension;
    std::error_code ec;
    fs::rename(download, target, ec);
    if (ec)
        throw platform::FileError::accessDenied();
    // An empty download is renamed out of the way but records nothing: it is never shown.
    if (first != 0x1A && IsStationNumber(station))
        State().LogoExtensions[static_cast<std::size_t>(station)] = extension;
}

void ClearStationsDirectory() {
    const fs::path dir = StationsDir();
    for (const std::string& name : ListEntries(dir)) {
        std::error_code ec;
        const fs::path entry = dir / name;
        if (fs::is_directory(fs::symlink_status(entry, ec)))
            continue;
        fs::remove(entry, ec);
    }
}

} // namespace tembrik::stations
