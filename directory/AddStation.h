#pragma once
// Adding a station found in the directory to the catalogue, as the next station number.
#include "directory/RadioBrowser.h"

#include <string>

namespace tembrik::directory {

// The station's favicon, or nothing when it has none, cannot be fetched, is larger than 1 MiB or is
// not a GIF, PNG or JPEG picture. Any thread.
std::string DownloadFavicon(const FoundStation& station, const net::HttpOptions& options,
                            const net::CancelFlag* cancel = nullptr);

struct AddResult {
    bool ok = false;
    int station = 0;     // the new station's number when ok
    std::string message; // why not, when not ok
};

// Writes Stations/playN.txt for the first free N up to 1000 (Windows-1251, CR LF; the name's
// characters outside Windows-1251 become "?"; a third line "1" for HLS stations, which play on the
// second media player) and the favicon as its logo, typed as the catalogue types logos; a station
// without a picture gets an empty logo so the directory scan counts it. Nothing is left half
// written when a step fails. GUI thread (the logo's extension is recorded in PlayerState).
AddResult AddFoundStation(const FoundStation& station, const std::string& favicon);

} // namespace tembrik::directory
