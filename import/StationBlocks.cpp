#include "import/StationBlocks.h"

#include "import/ImportSites.h"
#include "import/TextCut.h"

#include "app/PlayerState.h"

namespace {

// CR, LF and NUL would split or cut a station file's line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return text;
}

} // namespace

int ParseStationBlocks(std::string section) {
    const PageMarkers& m = Markers();
    const std::string key = KeyMarker();
    PlayerState& s = State();
    int leftOut = 0;
    // A block's "<" becomes "#" once taken, so the next search finds the next block; searching on
    // from the last block gives the same block as searching from the start, in one pass.
    std::size_t p = 0;
    while ((p = section.find(m.blockStart, p)) != std::string::npos) {
        const std::string block = TextBetween(m.blockStart, m.blockEnd, std::string_view(section).substr(p));
        std::string stationKey = TextBetween(key, m.keyEnd, block);
        if (!stationKey.empty() && stationKey.front() == '=') {
            if (s.ImportCount >= 1 && s.ImportCount <= MaxStations) {
                PlayerState::ImportRow& row = s.ImportTable[static_cast<std::size_t>(s.ImportCount)];
                row.StationKey = OneLine(std::move(stationKey));
                row.LogoPath = TextBetween(m.logoStart, m.logoEnd, block);
                row.StationName = TextBetween(m.nameStart, m.nameEnd, block);
                ++s.ImportCount;
            } else {
                ++leftOut;
            }
        }
        section[p] = '#';
    }
    return leftOut;
}

std::string CleanStationName(const std::string& name) {
    std::string clean = ReplaceAllText(name, "&laquo;", "");
    clean = ReplaceAllText(clean, "&raquo;", "");
    clean = ReplaceAllText(clean, "&#1110;", "i");
    return OneLine(std::move(clean));
}

bool IsSafeLogoPath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.find("..") != std::string::npos)
        return false;
    // Control characters would change the request line rather than name a file.
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}
