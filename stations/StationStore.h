#pragma once
// Station files: Stations/playN.txt holds the stream URL, the title and the engine flag, by line.
#include <filesystem>
#include <string>

namespace tembrik::stations {

constexpr const char* IdleTitle = "Tembrik - Free Radio Gadget!";

// The engine flag that sends a station to the second media player; "0" is the main engine.
constexpr const char* AlternativeEngineFlag = "1";

struct StationFile {
    std::string Url;
    std::string Title;
    // Kept exactly as read: only "0" and "1" mean something, anything else starts nothing.
    std::string Engine = "0";
};

// The usable station numbers, the size of the logo table.
bool IsStationNumber(long long n);

std::filesystem::path StationsDir();
std::filesystem::path StationFilePath(int station);

// Reads station N's file. A missing third line reads as "0"; a present but empty one stays empty.
// Raises FileError ("File not found") when the file cannot be opened.
StationFile ReadStationFile(int station);

// Replaces station N's file with URL, title and engine flag. The new file is written beside the old
// one and renamed into place, so a failure part way leaves the old file whole. A station file that
// is marked read-only (no write permission bit) is refused with "File access denied", as is a
// missing Stations directory with "File not found".
void WriteStationFile(int station, const StationFile& file);

} // namespace tembrik::stations
