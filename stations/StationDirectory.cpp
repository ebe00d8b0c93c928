#include "stations/StationDirectory.h"

#include "stations/StationStore.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/Integer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tembrik::stations {

namespace fs = std::filesystem;

namespace {

// Every entry but "." and "..", whatever its kind, with whether it is a directory; an unreadable or
// missing directory has none.
std::vector<std::pair<std::string, bool>> ListEntries(const fs::path& dir) {
    std::vector<std::pair<std::string, bool>> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code kind;
        names.emplace_back(it->path().filename().string(), it->is_directory(kind));
    }
    // The listing order must not matter; sorted, the same stray name is always the one reported.
    std::sort(names.begin(), names.end());
    return names;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "play" + decimal number + ".txt".
bool IsStationFileName(std::string_view name) {
    constexpr std::string_view prefix = "play", suffix = ".txt";
    return name.size() > prefix.size() + suffix.size() && name.substr(0, prefix.size()) == prefix &&
           name.substr(name.size() - suffix.size()) == suffix &&
           AllDigits(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
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
    std::size_t entries = 0;
    std::vector<std::pair<std::int32_t, std::string>> logos;
    for (const auto& [name, directory] : ListEntries(StationsDir())) {
        if (!directory && IsStationFileName(name)) {
            ++entries;
            continue;
        }
        const std::size_t dot = name.rfind('.');
        std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
        const std::optional<std::int32_t> number = platform::tryParseInt(RemoveAll(name, extension));
        // A file Explorer or the user left here (readme.txt, Thumbs.db, a folder of covers) is no
        // station: one stray name must not cost the user the whole catalogue.
        if (directory || !number) {
            std::fprintf(stderr, "tembrik: skipped \"%s\" in Stations: not a station file or a logo\n",
                         name.c_str());
            continue;
        }
        ++entries;
        logos.emplace_back(*number, std::move(extension));
    }

    PlayerState& s = State();
    for (auto& [number, extension] : logos) {
        if (IsStationNumber(number))
            s.LogoExtensions[static_cast<std::size_t>(number)] = std::move(extension);
    }
    const std::size_t stations = (entries + 1) / 2;
    s.StationCount = static_cast<std::int32_t>(std::min<std::size_t>(stations, MaxStations));
}

void RemoveThumbnailCaches() {
    const fs::path dir = StationsDir();
    for (const auto& [name, directory] : ListEntries(dir)) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::error_code ec;
        if (!directory && lower == "thumbs.db")
            fs::remove(dir / name, ec);
    }
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
    for (const auto& [name, directory] : ListEntries(dir)) {
        std::error_code ec;
        const fs::path entry = dir / name;
        if (fs::is_directory(fs::symlink_status(entry, ec)))
            continue;
        fs::remove(entry, ec);
    }
}

} // namespace tembrik::stations
