#include "directory/AddStation.h"

#include "app/PlayerState.h"
#include "stations/StationDirectory.h"
#include "stations/StationStore.h"
#include "tembrik/platform/TextFile.h"

#include <QString>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace tembrik::directory {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t MaxFaviconBytes = 1u << 20;
constexpr int MaxNameLength = 200;

bool IsPicture(const std::string& bytes) {
    if (bytes.empty())
        return false;
    const auto first = static_cast<unsigned char>(bytes.front());
    return first == 'G' || first == 0x89 || first == 0xFF;
}

// One line of a station file: no line breaks, no NULs, not endless.
std::string StationName(const std::string& name) {
    QString text = QString::fromStdString(name);
    for (QChar& c : text) {
        if (c == '\r' || c == '\n' || c == QChar(0))
            c = ' ';
    }
    if (text.size() > MaxNameLength)
        text = text.left(MaxNameLength);
    return text.toStdString();
}

bool WriteBytes(const fs::path& file, const std::string& bytes) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

// Station N's logo as first written (no extension) and under each name typing may give it.
std::vector<fs::path> LogoNames(const fs::path& dir, int number) {
    std::vector<fs::path> names;
    const std::string base = std::to_string(number);
    for (const char* extension : {"", ".txt", ".gif", ".png", ".jpg"})
        names.push_back(dir / (base + extension));
    return names;
}

} // namespace

std::string DownloadFavicon(const FoundStation& station, const net::HttpOptions& options,
                            const net::CancelFlag* cancel) {
    if (station.favicon.empty())
        return {};
    net::HttpOptions capped = options;
    capped.maxBodyBytes = MaxFaviconBytes;
    net::HttpResult answer = net::httpGet(station.favicon, capped, cancel);
    return answer.ok && IsPicture(answer.body) ? std::move(answer.body) : std::string();
}

AddResult AddFoundStation(const FoundStation& station, const std::string& favicon) {
    AddResult result;
    const fs::path dir = stations::StationsDir();
    std::error_code ec;
    fs::create_directories(dir, ec);
    int number = 0;
    for (int n = 1; n <= MaxStations && number == 0; ++n) {
        if (!fs::exists(stations::StationFilePath(n), ec))
            number = n;
    }
    if (number == 0) {
        result.message = "The catalogue is full: it holds " + std::to_string(MaxStations) + " stations.";
        return result;
    }
    // The logo is written and typed first, the station file last: the catalogue counts a station
    // only once both are there. On a failure every file this call made goes again.
    const std::vector<fs::path> logos = LogoNames(dir, number);
    // A stray logo of a number without a station file is not this call's to remove; the name
    // without extension always is, it is only ever a download on its way to being typed.
    std::vector<bool> existed;
    for (const fs::path& logo : logos)
        existed.push_back(logo != logos.front() && fs::exists(logo, ec));
    std::vector<std::string> lines = {station.url, StationName(station.name)};
    if (station.hls)
        lines.emplace_back("1");
    try {
        if (!WriteBytes(logos.front(), IsPicture(favicon) ? favicon : std::string()))
            throw std::runtime_error("the station's logo could not be written");
        stations::DetectLogoType(number);
        platform::replaceTextFile(stations::StationFilePath(number), lines);
    } catch (const std::exception& e) {
        for (std::size_t k = 0; k < logos.size(); ++k) {
            if (!existed[k])
                fs::remove(logos[k], ec);
        }
        State().LogoExtensions[static_cast<std::size_t>(number)].clear();
        result.message = std::string("The station could not be added: ") + e.what();
        return result;
    }
    result.ok = true;
    result.station = number;
    return result;
}

} // namespace tembrik::directory
