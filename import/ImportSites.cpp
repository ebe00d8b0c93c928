#include "import/ImportSites.h"

#include "tembrik/platform/Cp1251.h"

#include <cstdlib>

namespace {

constexpr const char* BuiltInDirectorySite = "http://directory.tembrik.radio";
constexpr const char* BuiltInPlaylistService = "http://stream.tembrik.radio";

std::string SiteFromEnvironment(const char* variable, const char* builtIn) {
    const char* value = std::getenv(variable);
    std::string site = value && *value ? value : builtIn;
    while (!site.empty() && site.back() == '/')
        site.pop_back();
    return site;
}

} // namespace

std::string DirectorySite() {
    return SiteFromEnvironment("TEMBRIK_DIRECTORY_SITE", BuiltInDirectorySite);
}

std::string PlaylistService() {
    return SiteFromEnvironment("TEMBRIK_PLAYLIST_SERVICE", BuiltInPlaylistService);
}

std::string KeyMarker() {
    return PlaylistService() + "/playlist/radio.m3u?station";
}

const PageMarkers& Markers() {
    using tembrik::platform::utf8ToCp1251;
    static const PageMarkers markers{
        utf8ToCp1251("<h3>Радиостанции</h3>"),
        "<div id=\"footer-spacer\">",
        "<div class=\"st\">",
        "</div></div></div>",
        "popup=\"500 400\"><img src=\"/",
        "\" class=\"logo\"",
        "\"><img src=\"",
        "class=\"logo\" alt=\"",
        "\" width=\"",
    };
    return markers;
}
