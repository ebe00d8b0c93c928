#include "decode/FormatHint.h"

#include <algorithm>
#include <cctype>

namespace tembrik::audio::decode {

std::string formatForContentType(std::string_view contentType) {
    std::string type(contentType.substr(0, contentType.find(';')));
    type.erase(std::remove_if(type.begin(), type.end(),
                              [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
               type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    static const std::pair<const char*, const char*> table[] = {
        {"audio/mpeg", "mp3"},
        {"audio/mp3", "mp3"},
        {"audio/x-mpeg", "mp3"},
        {"audio/mpeg3", "mp3"},
        {"audio/x-mp3", "mp3"},
        {"audio/mpg", "mp3"},
        {"audio/x-mpegaudio", "mp3"},
        {"audio/aac", "aac"},
        {"audio/aacp", "aac"},
        {"audio/x-aac", "aac"},
        {"audio/x-aacp", "aac"},
        {"audio/ogg", "ogg"},
        {"application/ogg", "ogg"},
        {"audio/x-ogg", "ogg"},
        {"audio/vorbis", "ogg"},
        {"audio/opus", "ogg"},
        {"video/ogg", "ogg"},
        {"audio/flac", "flac"},
        {"audio/x-flac", "flac"},
        {"video/x-ms-asf", "asf"},
        {"audio/x-ms-wma", "asf"},
        {"video/x-ms-wma", "asf"},
        {"application/vnd.ms-asf", "asf"},
        {"application/x-mms-framed", "asf"},
        {"audio/wav", "wav"},
        {"audio/x-wav", "wav"},
        {"audio/wave", "wav"},
        {"audio/vnd.wave", "wav"},
    };
    for (auto& [name, format] : table) {
        if (type == name)
            return format;
    }
    return {};
}

std::string streamTitleTag(std::string_view artist, std::string_view title) {
    if (artist.empty() && title.empty())
        return {};
    std::string text = "StreamTitle='";
    text += artist;
    if (!artist.empty() && !title.empty())
        text += " - ";
    text += title;
    text += "';";
    return text;
}

} // namespace tembrik::audio::decode
