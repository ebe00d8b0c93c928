#pragma once
// The Stations directory as a whole: there is no index, the catalogue is whatever the directory
// holds. Station files are named "play" + number + ".txt", logos number + extension.

namespace tembrik::stations {

// Counts the directory's station files and logos into StationCount (half of them, an odd one counting
// as one more station) and learns each logo's extension into LogoExtensions. A missing or empty
// directory gives 0. A station file is "play" + decimal number + ".txt"; a logo is a file whose name
// reads as a number once its extension is removed. Every other name (a subdirectory, readme.txt,
// Thumbs.db) is skipped with one line on standard error and counts for nothing. Logo numbers outside
// 1..1000 are counted but not recorded, and StationCount never exceeds the size of the logo table.
void ScanStationsDirectory();

// Types a freshly downloaded logo Stations/N by its first byte and renames it to N.gif, N.png or
// N.jpg (recording the extension), or to N.txt when it is empty; any other first byte leaves it
// alone. A station whose download left no file is left alone too.
void DetectLogoType(int station);

// Deletes the thumbnail cache Windows Explorer leaves in Stations, "thumbs.db" in any letter case.
void RemoveThumbnailCaches();

// Deletes every file in Stations; subdirectories and files that cannot be deleted stay, silently.
void ClearStationsDirectory();

} // namespace tembrik::stations
