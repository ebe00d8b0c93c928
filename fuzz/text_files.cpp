// The files a user may have edited by hand: the bytes are written as station 1's file, favs.txt,
// equalizer.txt and config.txt in a program directory of the target's own, then read the way the
// program reads each of them. A refused file raises FileError or ConvertError; nothing else may go
// wrong.
#include "app/PlayerState.h"
#include "playback/Equalizer.h"
#include "stations/Favourites.h"
#include "stations/StationStore.h"
#include "tembrik/platform/Errors.h"
#include "tembrik/platform/Integer.h"
#include "tembrik/platform/ProgramDir.h"
#include "tembrik/platform/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path& ProgramDirectory() {
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / ("tembrik-fuzz-files-" + std::to_string(::getpid()));
        fs::create_directories(d / "Stations");
        tembrik::platform::setProgramDirForTesting(d);
        return d;
    }();
    return dir;
}

void Write(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

template <typename Read> void Refusable(Read read) {
    try {
        read();
    } catch (const tembrik::platform::FileError&) {
    } catch (const tembrik::platform::ConvertError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& dir = ProgramDirectory();
    for (const char* name : {"Stations/play1.txt", "favs.txt", "equalizer.txt", "config.txt"})
        Write(dir / name, data, size);

    Refusable([] { (void)tembrik::stations::ReadStationFile(1); });
    Refusable([] {
        tembrik::stations::LoadFavouriteCells();
        const PlayerState& s = State();
        if (s.FavouriteCount < 0 || s.FavouriteCount > 1000)
            std::abort();
    });
    Refusable([] { (void)tembrik::stations::IsFavourite(7); });
    Refusable([&] { playback::LoadEqualizer(dir); });
    // config.txt: values by line position, every second line a number or a flag.
    Refusable([&] {
        const auto config = tembrik::platform::TextLines::read(dir / "config.txt");
        for (std::size_t k = 1; k < 14; k += 2)
            (void)tembrik::platform::parseInt(config.line(k));
    });
    return 0;
}
