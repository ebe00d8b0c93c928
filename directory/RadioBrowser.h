#pragma once
// The Radio Browser directory's API: which servers to ask, the station search and the click count.
// Every call blocks its thread; the window runs them off the GUI thread.
#include "tembrik/net/Http.h"

#include <string>
#include <vector>

namespace tembrik::directory {

struct FoundStation {
    std::string uuid;
    std::string name;
    std::string url; // url_resolved
    std::string favicon;
    std::string tags;
    std::string countryCode;
    std::string codec;
    int bitrate = 0;
    bool hls = false;
};

struct SearchQuery {
    std::string name;
    std::string tag;
    std::string countryCode;

    bool empty() const { return name.empty() && tag.empty() && countryCode.empty(); }
    bool operator==(const SearchQuery&) const = default;
};

struct SearchResult {
    bool ok = false;
    std::vector<FoundStation> stations; // in the server's order
    std::string message;                // shown in the window when not ok, or when nothing was found
};

inline constexpr const char* OfflineText = "No connection to the station directory";
inline constexpr const char* NothingFoundText = "Nothing found";
inline constexpr const char* MalformedText = "The station directory sent an answer that cannot be read";

// The API roots to try, in order: TEMBRIK_RADIO_DIRECTORY alone when set, otherwise the servers
// behind all.api.radio-browser.info by their names, in random order. Empty when none resolves.
std::vector<std::string> DirectoryServers();

// The program's name and version, as the API asks clients to send.
std::string DirectoryUserAgent();

// The search address on one server.
std::string SearchAddress(const std::string& server, const SearchQuery& query);

// Reads a search answer. Stations without a playable address (HTTP or HTTPS, at most 2048
// characters once percent-encoded) are left out; names and tags are cut to 300 characters.
SearchResult ParseSearchAnswer(const std::string& json);

// Asks each server in turn until one answers: a refused connection, an error status or a stall
// longer than the read time-out passes on to the next. When none answers, OfflineText.
SearchResult Search(const std::vector<std::string>& servers, const SearchQuery& query,
                    const net::HttpOptions& options, const net::CancelFlag* cancel = nullptr);

// Counts a click on the station (/json/url/<uuid>), as the API asks when a station is played or
// added. True when a server took it.
bool CountClick(const std::vector<std::string>& servers, const std::string& uuid,
                const net::HttpOptions& options, const net::CancelFlag* cancel = nullptr);

} // namespace tembrik::directory
