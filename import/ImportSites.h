#pragma once
// The two outside places the import reads from and writes into station files, and the markers it
// cuts the directory page by. Markers are Windows-1251 text, as the page is once decoded.
#include <string>

// Scheme, host and optional port of the radio-directory site, without a trailing "/";
// TEMBRIK_DIRECTORY_SITE replaces the built-in one.
std::string DirectorySite();

// Scheme, host and optional port of the stream provider's playlist service; TEMBRIK_PLAYLIST_SERVICE
// replaces the built-in one.
std::string PlaylistService();

// K: the playlist address up to its query key, the text that begins every station's line 1.
std::string KeyMarker();

struct PageMarkers {
    std::string sectionStart, sectionEnd;
    std::string blockStart, blockEnd;
    std::string logoStart, logoEnd;
    std::string keyEnd;
    std::string nameStart, nameEnd;
};
const PageMarkers& Markers();
