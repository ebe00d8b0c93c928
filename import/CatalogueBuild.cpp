#include "import/CatalogueBuild.h"

#include "stations/StationStore.h"
#include "tembrik/platform/Cp1251.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/TextFile.h"

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;
using tembrik::platform::FileError;

namespace {

fs::path Beside(const std::string& suffix) {
    fs::path p = tembrik::stations::StationsDir();
    p += suffix;
    return p;
}

} // namespace

CatalogueBuild::CatalogueBuild() : folder_(Beside(".import")) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    if (!fs::create_directory(folder_, ec) || ec)
        throw FileError::accessDenied();
}

CatalogueBuild::~CatalogueBuild() {
    if (swapped_)
        return;
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

void CatalogueBuild::writeStation(int station, const std::string& url, const std::string& name) const {
    using tembrik::platform::cp1251ToUtf8;
    tembrik::platform::writeTextFile(folder_ / ("play" + std::to_string(station) + ".txt"),
                                     {cp1251ToUtf8(url), cp1251ToUtf8(name)});
}

void CatalogueBuild::fillMissingLogos(int count) const {
    for (int n = 1; n <= count; ++n) {
        const fs::path logo = folder_ / std::to_string(n);
        std::error_code ec;
        if (fs::exists(logo, ec))
            continue;
        std::FILE* f = std::fopen(logo.c_str(), "wb");
        if (!f || std::fclose(f) != 0)
            throw FileError::accessDenied();
    }
}

void CatalogueBuild::swapIn() {
    const fs::path stations = tembrik::stations::StationsDir();
    const fs::path previous = Beside(".previous");
    std::error_code ec;
    fs::remove_all(previous, ec);
    const bool hadStations = fs::exists(stations, ec);
    if (hadStations) {
        fs::rename(stations, previous, ec);
        if (ec)
            throw FileError::accessDenied();
    }
    fs::rename(folder_, stations, ec);
    if (ec) {
        std::error_code back;
        if (hadStations)
            fs::rename(previous, stations, back);
        throw FileError::accessDenied();
    }
    swapped_ = true;
    fs::remove_all(previous, ec);
}
