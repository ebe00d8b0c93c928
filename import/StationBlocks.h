#pragma once
// Cutting the stations out of the directory page's station section.
#include <string>

// Fills ImportTable from row ImportCount on, one row per block with a key beginning with "=", in
// page order, and advances ImportCount; blocks without such a key take no row. The table holds
// MaxStations rows: the accepted blocks beyond them are counted, not stored. Returns that count.
int ParseStationBlocks(std::string section);

// The station's name as its file's line 2: the page's entities for quotation marks removed,
// "&#1110;" as the Latin letter i, and line breaks and NULs as spaces so the name stays one line.
std::string CleanStationName(const std::string& name);

// True when the logo path cut from the page stays on the directory site once appended to its root:
// not empty, not starting with "/", holding no ".." and no control character.
bool IsSafeLogoPath(const std::string& path);
