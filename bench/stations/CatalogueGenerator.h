#pragma once
// Writes a catalogue as a real one looks after an import: station files, and logos that are mostly
// JPEG photos of 300 to 600 pixels, then PNG (some with transparency), some GIF, and a few broken
// or missing downloads.
#include <filesystem>

struct CatalogueMix {
    int stations = 1000;
    int favourites = 60;
    unsigned seed = 20261210;
};

struct CatalogueCounts {
    int jpeg = 0, png = 0, gif = 0, broken = 0, missing = 0;
    long long logoBytes = 0;
};

// Lays out programDir/Stations and programDir/favs.txt, plus the settings files start-up reads
// from `shippedData` (everything in it but its Stations directory).
CatalogueCounts GenerateCatalogue(const std::filesystem::path& programDir,
                                  const std::filesystem::path& shippedData, const CatalogueMix& mix);
