#include "decode/FormatHint.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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

std::string formatFromMagic(std::string_view b, std::string_view hint) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    if (b.size() >= 4 && b.substr(0, 4) == "OggS")
        return "ogg";
    if (b.size() >= 4 && b.substr(0, 4) == "fLaC")
        return "flac";
    static const unsigned char asfGuid[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
    if (b.size() >= 8 && std::memcmp(b.data(), asfGuid, 8) == 0)
        return "asf";
    if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE")
        return "wav";
    if (b.size() >= 3 && b.substr(0, 3) == "ID3") {
        if (hint == "aac" || hint == "flac")
            return std::string(hint);
        return "mp3";
    }
    if (b.size() >= 4 && byte(0) == 0xFF) {
        if ((byte(1) & 0xF6) == 0xF0)
            return "aac"; // ADTS: 12-bit sync, layer 00
        // MPEG audio: 11-bit sync, layer != 00, bit-rate index not 1111, sample-rate index not 11.
        if ((byte(1) & 0xE0) == 0xE0 && (byte(1) & 0x06) != 0 && (byte(2) & 0xF0) != 0xF0 &&
            (byte(2) & 0x0C) != 0x0C) {
            return "mp3";
        }
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
