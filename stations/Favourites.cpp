#include "stations/Favourites.h"

#include "stations/StationStore.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/Integer.h"
#include "tembrik/platform/ProgramDir.h"
#include "tembrik/platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tembrik::stations {

namespace fs = std::filesystem;

namespace {

fs::path FavouritesPath() {
    return platform::programDir() / "favs.txt";
}

fs::path CompanionPath() {
    return platform::programDir() / "favs2.txt";
}

bool FavouritesExist() {
    std::error_code ec;
    return fs::exists(FavouritesPath(), ec);
}

} // namespace

bool IsFavourite(int station) {
    if (!FavouritesExist())
        return false;
    const platform::TextLines lines = platform::TextLines::read(FavouritesPath());
    bool found = false;
    // Every line is read even after a match, so a broken line is always reported.
    for (const std::string& line : lines.all())
        found = platform::parseInt(line) == station || found;
    return found;
}

void AddFavourite(int station) {
    platform::appendTextLines(FavouritesPath(), {std::to_string(station)});
}

void RemoveFavourite(int station) {
    if (!FavouritesExist())
        return;
    const platform::TextLines lines = platform::TextLines::read(FavouritesPath());
    std::vector<std::string> kept;
    for (const std::string& line : lines.all()) {
        if (platform::parseInt(line) != station)
            kept.push_back(line);
    }
    const fs::path companion = CompanionPath();
    try {
        platform::writeTextFile(companion, kept);
        std::error_code ec;
        fs::rename(companion, FavouritesPath(), ec);
        if (ec)
            throw platform::FileError::accessDenied();
    } catch (...) {
        std::error_code ec;
        fs::remove(companion, ec);
        throw;
    }
}

bool LoadFavouriteCells() {
    if (!FavouritesExist())
        return false;
    const platform::TextLines lines = platform::TextLines::read(FavouritesPath());
    std::vector<std::int32_t> numbers;
    for (const std::string& line : lines.all()) {
        const std::int32_t n = platform::parseInt(line);
        if (IsStationNumber(n) && numbers.size() < MaxStations)
            numbers.push_back(n);
    }
    PlayerState& s = State();
    std::copy(numbers.begin(), numbers.end(), s.FavouriteCells.begin());
    s.FavouriteCount = static_cast<std::int32_t>(numbers.size());
    return true;
}

} // namespace tembrik::stations
