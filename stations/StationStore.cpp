#include "stations/StationStore.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/ProgramDir.h"
#include "tembrik/platform/TextFile.h"

#include <system_error>

namespace tembrik::stations {

namespace fs = std::filesystem;
using platform::FileError;

bool IsStationNumber(long long n) {
    return n >= 1 && n <= MaxStations;
}

fs::path StationsDir() {
    return platform::programDir() / "Stations";
}

fs::path StationFilePath(int station) {
    return StationsDir() / ("play" + std::to_string(station) + ".txt");
}

StationFile ReadStationFile(int station) {
    const platform::TextLines lines = platform::TextLines::read(StationFilePath(station));
    StationFile f;
    f.Url = lines.line(0);
    f.Title = lines.line(1);
    if (lines.size() > 2)
        f.Engine = lines.line(2);
    return f;
}

void WriteStationFile(int station, const StationFile& file) {
    const fs::path path = StationFilePath(station);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status)) {
        // Renaming would get past a read-only file; the user marked it so it is not overwritten.
        const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if (fs::is_directory(status) || (status.permissions() & writable) == fs::perms::none)
            throw FileError::accessDenied();
    }
    platform::replaceTextFile(path, {file.Url, file.Title, file.Engine});
}

} // namespace tembrik::stations
