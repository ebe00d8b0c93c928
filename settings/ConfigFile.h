#pragma once
// Writing config.txt: seven key lines, each followed by its value line, in a fixed order. The reader
// takes values by line position, so the order and the key texts never change.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ConfigValues {
    std::int32_t CheckUpdates = 0; // written "1" or "0"
    std::int32_t OpenLast = 0;     // written "1" or "0"
    std::int32_t StartVolume = 0;
    std::int32_t LastNumber = -1;
    std::int32_t Autorun = 0; // written "1" or "0"; 1 also enables the writer's run entry
    std::int32_t BufferSeconds = 0;
    std::int32_t Equalizer = 0; // written as the integer it is
};

// The 14 lines of the file.
std::vector<std::string> ConfigLines(const ConfigValues& values);

// Writes config.txt in the program directory whole and sets the writer's run entry (`runValueName`,
// enabled when Autorun is 1, deleted otherwise) for `executable`. The new file is written beside the
// old one and renamed over it only once the run entry is set, so any failure (FileError, or
// "Failed to set data for 'NAME'") leaves the old config.txt byte for byte.
void WriteConfig(const std::filesystem::path& programDir, const ConfigValues& values,
                 const std::string& runValueName, const std::filesystem::path& executable);
