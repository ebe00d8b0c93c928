// The server's content type as a demuxer name (a second opinion after the first bytes: Sniff.h),
// and the tag text made of Ogg comments.
#pragma once

#include <string>
#include <string_view>

namespace tembrik::audio::decode {

// FFmpeg demuxer name for a content type ("audio/mpeg" -> "mp3"), or "" when it says nothing.
std::string formatForContentType(std::string_view contentType);

// Builds the tag text for a stream whose titles come as Vorbis/Opus comments:
// "StreamTitle='ARTIST - TITLE';", or "StreamTitle='TITLE';" without an artist; "" when both empty.
std::string streamTitleTag(std::string_view artist, std::string_view title);

} // namespace tembrik::audio::decode
