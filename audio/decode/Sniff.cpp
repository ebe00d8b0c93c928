#include "decode/Sniff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tembrik::audio::decode {
namespace {

constexpr std::size_t kMaxTagBytes = 1024 * 1024; // ID3 tags before the audio, all together

std::uint8_t at(std::string_view b, std::size_t i) {
    return static_cast<std::uint8_t>(b[i]);
}

// Length of the MPEG audio frame whose header starts at i (0: not a header).
std::size_t mpegFrameLength(std::string_view b, std::size_t i) {
    if (i + 4 > b.size() || at(b, i) != 0xFF || (at(b, i + 1) & 0xE0) != 0xE0)
        return 0;
    const int version = (at(b, i + 1) >> 3) & 3; // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layer = (at(b, i + 1) >> 1) & 3;   // 1: III, 2: II, 3: I
    const int rateIndex = at(b, i + 2) >> 4;
    const int freqIndex = (at(b, i + 2) >> 2) & 3;
    const int padding = (at(b, i + 2) >> 1) & 1;
    if (version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 || freqIndex == 3 ||
        (at(b, i + 3) & 3) == 2)
        return 0;
    static const int kbps[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // MPEG-1 layer I
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // layer II
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},    // layer III
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},    // MPEG-2/2.5 layer I
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},         // layer II
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};       // layer III
    static const int hz[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int sampleRate = hz[freqIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int bitRate = kbps[mpeg1 ? 0 : 1][3 - layer][rateIndex] * 1000;
    if (layer == 3)
        return static_cast<std::size_t>((12 * bitRate / sampleRate + padding) * 4);
    const int perSample = layer == 1 && !mpeg1 ? 72 : 144;
    return static_cast<std::size_t>(perSample * bitRate / sampleRate + padding);
}

bool sameMpegStream(std::string_view b, std::size_t i, std::size_t j) {
    // Version, layer and sample rate stay; bit rate and padding may change frame to frame.
    return (at(b, i + 1) & 0xFE) == (at(b, j + 1) & 0xFE) && (at(b, i + 2) & 0x0C) == (at(b, j + 2) & 0x0C);
}

// Length of the ADTS frame whose header starts at i (0: not a header).
std::size_t adtsFrameLength(std::string_view b, std::size_t i) {
    if (i + 7 > b.size() || at(b, i) != 0xFF || (at(b, i + 1) & 0xF6) != 0xF0)
        return 0;
    if (((at(b, i + 2) >> 2) & 0x0F) > 12) // sampling frequency index
        return 0;
    const std::size_t length = (static_cast<std::size_t>(at(b, i + 3) & 3) << 11) |
                               (static_cast<std::size_t>(at(b, i + 4)) << 3) | (at(b, i + 5) >> 5);
    const std::size_t header = (at(b, i + 1) & 1) ? 7 : 9;
    return length > header ? length : 0;
}

bool sameAdtsStream(std::string_view b, std::size_t i, std::size_t j) {
    // Version, protection, profile, sample rate and channels are fixed for a stream.
    return at(b, i + 1) == at(b, j + 1) && (at(b, i + 2) & 0xFD) == (at(b, j + 2) & 0xFD) &&
           (at(b, i + 3) & 0xC0) == (at(b, j + 3) & 0xC0);
}

// The size of the ID3v2 tag at i, 0 when there is none.
std::size_t id3Length(std::string_view b, std::size_t i) {
    if (i + 10 > b.size() || b.substr(i, 3) != "ID3" || at(b, i + 3) == 0xFF || at(b, i + 4) == 0xFF)
        return 0;
    std::size_t size = 0;
    for (std::size_t k = 6; k < 10; ++k) {
        if (at(b, i + k) & 0x80)
            return 0;
        size = (size << 7) | at(b, i + k);
    }
    return 10 + size + ((at(b, i + 5) & 0x10) ? 10 : 0);
}

std::string describe(std::string_view b) {
    if (b.empty())
        return "an empty body";
    if (b.size() >= 2 && at(b, 0) == 0x1F && at(b, 1) == 0x8B)
        return "gzip data";
    if (std::all_of(b.begin(), b.end(), [](char c) { return c == '\0'; }))
        return "zeros";
    std::string_view start = b.substr(0, 512);
    while (!start.empty() &&
           (start.front() == ' ' || start.front() == '\r' || start.front() == '\n' || start.front() == '\t'))
        start.remove_prefix(1);
    if (!start.empty() && start.front() == '<')
        return "a web page or XML";
    bool text = std::all_of(start.begin(), start.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u >= 0x20 || c == '\r' || c == '\n' || c == '\t';
    });
    if (text)
        return "text";
    return "no audio frames in the first " + (b.size() >= kSniffWindow
                                                  ? std::to_string(kSniffWindow / 1024) + " KB"
                                                  : std::to_string(b.size()) + " bytes");
}

Sniffed found(const char* format, std::size_t offset) {
    return {Sniffed::Verdict::Audio, format, offset, {}};
}

} // namespace

Sniffed sniffAudio(std::string_view b, bool complete) {
    const Sniffed needMore{Sniffed::Verdict::NeedMore, {}, 0, {}};
    std::size_t start = 0;
    while (std::size_t tag = id3Length(b, start)) {
        start += tag;
        if (start > kMaxTagBytes)
            return {Sniffed::Verdict::NotAudio, {}, 0, "ID3 tags larger than 1 MB"};
    }
    if (start + 10 > b.size() && !complete)
        return needMore; // maybe another tag, maybe a signature
    if (start == 0) {
        static const unsigned char asfGuid[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
        if (b.substr(0, 4) == "OggS")
            return found("ogg", 0);
        if (b.size() >= sizeof asfGuid && std::memcmp(b.data(), asfGuid, sizeof asfGuid) == 0)
            return found("asf", 0);
        if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE")
            return found("wav", 0);
        if (b.substr(0, 4) == "\x1A\x45\xDF\xA3")
            return found("matroska", 0);
    }
    if (b.substr(start, 4) == "fLaC")
        return found("flac", 0);

    const std::size_t end = std::min(b.size(), start + kSniffWindow);
    for (std::size_t i = start; i < end; ++i) {
        if (at(b, i) != 0xFF)
            continue;
        const char* format = "mp3";
        std::size_t length = mpegFrameLength(b, i);
        if (length == 0) {
            format = "aac";
            length = adtsFrameLength(b, i);
        }
        if (length == 0)
            continue;
        const std::size_t next = i + length;
        if (next + 7 > b.size()) {
            if (complete && next == b.size())
                return found(format, i); // a single frame is the whole body
            if (!complete)
                return needMore;
            continue;
        }
        const bool confirmed = format[0] == 'm' ? mpegFrameLength(b, next) != 0 && sameMpegStream(b, i, next)
                                                : adtsFrameLength(b, next) != 0 && sameAdtsStream(b, i, next);
        if (confirmed)
            return found(format, i);
    }
    if (!complete && b.size() < start + kSniffWindow)
        return needMore;
    return {Sniffed::Verdict::NotAudio, {}, 0, describe(b.substr(start, kSniffWindow))};
}

} // namespace tembrik::audio::decode
