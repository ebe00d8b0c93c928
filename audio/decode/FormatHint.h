// Choosing FFmpeg's demuxer without a long probe: from the first bytes when they are telling,
// otherwise from the server's content type.
#pragma once

#include <string>
#include <string_view>

namespace tembrik::audio::decode {

// FFmpeg demuxer name for a content type ("audio/mpeg" -> "mp3"), or "" when it says nothing.
std::string formatForContentType(std::string_view contentType);

// Demuxer name from unmistakable first bytes ("OggS" -> "ogg", ADTS sync -> "aac"...), or "".
// `hint` (from the content type) decides between the formats that may start with an ID3 tag.
std::string formatFromMagic(std::string_view firstBytes, std::string_view hint);

// Builds the tag text for a stream whose titles come as Vorbis/Opus comments:
// "StreamTitle='ARTIST - TITLE';", or "StreamTitle='TITLE';" without an artist; "" when both empty.
std::string streamTitleTag(std::string_view artist, std::string_view title);

} // namespace tembrik::audio::decode
