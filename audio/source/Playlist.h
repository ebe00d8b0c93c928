// Playlists that radio stations hand out instead of a stream: M3U/M3U8 (not HLS), PLS, ASX, the
// ASF reference file, and XSPF. Recognised by content type or by content, never by address alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tembrik::audio::source {

enum class PlaylistKind {
    None,         // not a playlist (audio, or unknown)
    M3u,          // M3U / M3U8 / a plain list of addresses
    Hls,          // HTTP Live Streaming (#EXT-X- tags): a playlist, but not one we can play
    Pls,          // [playlist] File1=...
    Asx,          // <asx><entry><ref href="..."/></entry></asx>
    AsfReference, // [Reference] Ref1=...
    Xspf,         // <playlist><trackList><track><location>...</location></track></trackList></playlist>
};

// Decides from the content type (parameters and case ignored) and the first bytes of the body.
// The content wins when it is recognisable; a playlist content type with unrecognisable content
// is parsed as that kind.
PlaylistKind detectPlaylist(std::string_view contentType, std::string_view firstBytes);

// The entries as written, in playlist order (PLS and reference files by entry number).
std::vector<std::string> parsePlaylist(PlaylistKind kind, std::string_view body);

// The entries resolved against the playlist's own address; only http(s) addresses, duplicates dropped.
std::vector<std::string> playlistUrls(PlaylistKind kind, std::string_view body, std::string_view baseUrl);

} // namespace tembrik::audio::source
