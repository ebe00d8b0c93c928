#include "directory/AddStation.h"

#include "app/PlayerState.h"
#include "stations/StationDirectory.h"
#include "stations/StationStore.h"
#include "tembrik/platform/TextFile.h"

#include <QString>

#include <cstdio>
#include <filesystem>
#include <system_error>

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
    const fs::path logo = dir / std::to_string(number);
    if (!WriteBytes(logo, IsPicture(favicon) ? favicon : std::string())) {
        fs::remove(logo, ec);
        result.message = "The station's logo could not be written.";
        return result;
    }
    std::vector<std::string> lines = {station.url, StationName(station.name)};
    if (station.hls)
        lines.emplace_back("1");
    try {
        platform::replaceTextFile(stations::StationFilePath(number), lines);
    } catch (const std::exception& e) {
        fs::remove(logo, ec);
        result.message = std::string("The station file could not be written: ") + e.what();
        return result;
    }
    stations::DetectLogoType(number);
    result.ok = true;
    result.station = number;
    return result;
}

} // namespace tembrik::directory
