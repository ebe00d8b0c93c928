// A playlist a station hands out: the first line is the content type the server claimed, the rest
// the body. Read as what detection finds and as every kind, resolved against a fixed address.
#include "source/Playlist.h"
#include "source/Url.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tembrik::audio::source;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\n');
    const std::string_view type = end == std::string_view::npos ? std::string_view() : input.substr(0, end);
    const std::string_view body = end == std::string_view::npos ? input : input.substr(end + 1);
    const PlaylistKind detected = detectPlaylist(type, body.substr(0, 1024));
    for (PlaylistKind kind : {detected, PlaylistKind::M3u, PlaylistKind::Hls, PlaylistKind::Pls,
                              PlaylistKind::Asx, PlaylistKind::AsfReference, PlaylistKind::Xspf}) {
        (void)parsePlaylist(kind, body);
        for (const auto& url : playlistUrls(kind, body, "http://radio.example/lists/station.pls?id=7"))
            if (!isHttpUrl(url))
                std::abort();
    }
    return 0;
}
