#include "ConfigFile.h"

#include "RunEntry.h"

#include "tembrik/platform/TextFile.h"

namespace {
std::string FlagText(std::int32_t flag) {
    return flag == 1 ? "1" : "0";
}
} // namespace

std::vector<std::string> ConfigLines(const ConfigValues& v) {
    return {"check_updates", FlagText(v.CheckUpdates),      "open_last",   FlagText(v.OpenLast),
            "start_volume",  std::to_string(v.StartVolume), "last_number", std::to_string(v.LastNumber),
            "autorun",       FlagText(v.Autorun),           "buffer",      std::to_string(v.BufferSeconds),
            "equalizer",     std::to_string(v.Equalizer)};
}

void WriteConfig(const std::filesystem::path& programDir, const ConfigValues& values,
                 const std::string& runValueName, const std::filesystem::path& executable) {
    tembrik::platform::StagedFile file(programDir / "config.txt",
                                       tembrik::platform::encodeTextLines(ConfigLines(values)));
    SetRunEntry(values.Autorun == 1, runValueName, executable);
    file.commit();
}
