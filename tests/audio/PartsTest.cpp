// Small parts: format hints and content sniffing, handle tables, the decoded-audio ring, tembrik-play's title
// cutting.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

#include "Title.h"
#include "decode/FormatHint.h"
#include "decode/Sniff.h"
#include "engine/SlotTable.h"
#include "mix/PcmRing.h"

namespace tembrik::audio {
namespace {

TEST(FormatHint, ContentTypes) {
    const std::pair<const char*, const char*> table[] = {
        {"audio/mpeg", "mp3"},
        {"Audio/MPEG; charset=x", "mp3"},
        {"audio/aacp", "aac"},
        {"audio/aac", "aac"},
        {"application/ogg", "ogg"},
        {"audio/ogg", "ogg"},
        {"audio/flac", "flac"},
        {"video/x-ms-asf", "asf"},
        {"audio/x-ms-wma", "asf"},
        {"text/html", ""},
        {"", ""},
        {"application/octet-stream", ""},
    };
    for (auto& [type, format] : table)
        EXPECT_EQ(decode::formatForContentType(type), format) << type;
}

std::string mp3Frames(int count) {
    // MPEG-1 layer III, 128 kbit/s, 44100 Hz, no padding: 417 bytes a frame.
    std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x11');
    std::string out;
    for (int i = 0; i < count; ++i)
        out += frame;
    return out;
}

std::string adtsFrames(int count, std::size_t length = 371) {
    // AAC LC, 44100 Hz, stereo, no CRC.
    std::string frame = {'\xFF',
                         '\xF1',
                         '\x50',
                         static_cast<char>(0x80 | ((length >> 11) & 3)),
                         static_cast<char>((length >> 3) & 0xFF),
                         static_cast<char>(((length & 7) << 5) | 0x1F),
                         '\xFC'};
    frame.resize(length, '\x22');
    std::string out;
    for (int i = 0; i < count; ++i)
        out += frame;
    return out;
}

std::string id3(std::size_t size) {
    std::string tag = std::string("ID3\x04\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += static_cast<char>((size >> shift) & 0x7F);
    return tag + std::string(size, '\0');
}

TEST(Sniff, FirstBytesDecideTheFormat) {
    using V = decode::Sniffed::Verdict;
    std::mt19937 rng(1);
    std::string noise(70000, '\0');
    for (auto& ch : noise)
        ch = static_cast<char>(rng());
    const std::string junk(123, '\x42');
    struct Case {
        const char* name;
        std::string bytes;
        bool complete;
        V verdict;
        const char* format;
        std::size_t offset;
        const char* what;
    };
    const Case table[] = {
        {"Ogg", std::string("OggS\0\x02", 6) + std::string(20, '\0'), false, V::Audio, "ogg", 0, ""},
        {"FLAC", "fLaC" + std::string(40, '\0'), false, V::Audio, "flac", 0, ""},
        {"ASF", std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16) + "x",
         false, V::Audio, "asf", 0, ""},
        {"WAV", std::string("RIFF\x24\0\0\0WAVEfmt ", 16), true, V::Audio, "wav", 0, ""},
        {"Matroska", std::string("\x1A\x45\xDF\xA3\x01\0\0\0\0\0\0\x1F", 12), false, V::Audio, "matroska", 0,
         ""},
        {"MP3", mp3Frames(3), false, V::Audio, "mp3", 0, ""},
        {"MP3 after an ID3 tag", id3(300) + mp3Frames(3), false, V::Audio, "mp3", 310, ""},
        {"FLAC after an ID3 tag", id3(20) + "fLaC" + std::string(40, '\0'), false, V::Audio, "flac", 0, ""},
        {"ADTS joined mid-frame", junk + adtsFrames(3), false, V::Audio, "aac", 123, ""},
        {"ADTS after an ID3 tag", id3(40) + adtsFrames(2), false, V::Audio, "aac", 50, ""},
        {"a lone MP3 header in junk, then frames", std::string("\xFF\xFB\x90\x64", 4) + junk + mp3Frames(2),
         false, V::Audio, "mp3", 127, ""},
        {"one header, the second not here yet", std::string("\xFF\xFB\x90\x64", 4) + std::string(500, 'a'),
         false, V::NeedMore, "", 0, ""},
        {"an ID3 tag still arriving", id3(5000).substr(0, 2000), false, V::NeedMore, "", 0, ""},
        {"bad bit-rate index", std::string("\xFF\xFB\xF0\x64", 4) + std::string(900, 'a'), true, V::NotAudio,
         "", 0, "text"},
        {"a web page", "  <html><body>x</body></html>", true, V::NotAudio, "", 0, "a web page or XML"},
        {"gzip", std::string("\x1F\x8B\x08\x00", 4) + noise.substr(0, 3000), true, V::NotAudio, "", 0,
         "gzip data"},
        {"zeros", std::string(decode::kSniffWindow, '\0'), false, V::NotAudio, "", 0, "zeros"},
        {"random bytes", noise, false, V::NotAudio, "", 0, "no audio frames in the first 64 KB"},
        {"empty", "", true, V::NotAudio, "", 0, "an empty body"},
    };
    for (const auto& c : table) {
        auto sniffed = decode::sniffAudio(c.bytes, c.complete);
        EXPECT_EQ(sniffed.verdict, c.verdict) << c.name;
        EXPECT_EQ(sniffed.format, c.format) << c.name;
        EXPECT_EQ(sniffed.offset, c.offset) << c.name;
        EXPECT_EQ(sniffed.what, c.what) << c.name;
    }
}

TEST(FormatHint, OggCommentsBecomeAStreamTitle) {
    EXPECT_EQ(decode::streamTitleTag("Artist", "Song"), "StreamTitle='Artist - Song';");
    EXPECT_EQ(decode::streamTitleTag("", "Song"), "StreamTitle='Song';");
    EXPECT_EQ(decode::streamTitleTag("Artist", ""), "StreamTitle='Artist';");
    EXPECT_EQ(decode::streamTitleTag("", ""), "");
}

TEST(SlotTable, HandlesCarryKindGenerationAndSlot) {
    detail::SlotTable<int> streams(0), effects(0x80000000u);
    auto a = streams.add(std::make_shared<int>(1));
    auto e = effects.add(std::make_shared<int>(2));
    EXPECT_NE(a, 0u);
    EXPECT_EQ(a & 0x80000000u, 0u);
    EXPECT_EQ(e & 0x80000000u, 0x80000000u);
    EXPECT_EQ(streams.get(e), nullptr); // an effect handle is no stream
    EXPECT_EQ(effects.get(a), nullptr);
    EXPECT_EQ(*streams.get(a), 1);
    EXPECT_EQ(streams.get(0), nullptr);
    EXPECT_EQ(*streams.remove(a), 1);
    EXPECT_EQ(streams.get(a), nullptr);    // stale
    EXPECT_EQ(streams.remove(a), nullptr); // freeing twice does nothing
}

TEST(SlotTable, AReusedSlotGetsANewGeneration) {
    detail::SlotTable<int> t(0);
    std::vector<std::uint32_t> old;
    for (int i = 0; i < 200; ++i) {
        auto h = t.add(std::make_shared<int>(i));
        old.push_back(h);
        t.remove(h);
    }
    for (auto h : old)
        EXPECT_EQ(t.get(h), nullptr);
    // Slots are reused only after many frees, and then with another generation.
    std::set<std::uint32_t> unique(old.begin(), old.end());
    EXPECT_EQ(unique.size(), old.size());
}

TEST(SlotTable, FullTableGivesZero) {
    detail::SlotTable<int> t(0);
    for (std::uint32_t i = 0; i < detail::SlotTable<int>::kMaxSlots; ++i)
        ASSERT_NE(t.add(std::make_shared<int>(0)), 0u);
    EXPECT_EQ(t.add(std::make_shared<int>(0)), 0u);
}

TEST(PcmRing, WrapsAroundAndKeepsOrder) {
    mix::PcmRing ring(5);
    float in[8] = {1, 1, 2, 2, 3, 3, 4, 4};
    EXPECT_EQ(ring.write(in, 4), 4u);
    float out[8] = {};
    EXPECT_EQ(ring.read(out, 3), 3u);
    EXPECT_EQ(out[4], 3);
    EXPECT_EQ(ring.write(in, 4), 4u); // wraps
    EXPECT_EQ(ring.space(), 0u);
    EXPECT_EQ(ring.write(in, 1), 0u); // full
    EXPECT_EQ(ring.read(out, 4), 4u); // 4, then 1, 2, 3
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[2], 1);
    EXPECT_EQ(out[6], 3);
}

TEST(PcmRing, OneWriterOneReaderConcurrently) {
    mix::PcmRing ring(333);
    constexpr int kFrames = 200000;
    std::thread writer([&] {
        int next = 0;
        float block[2 * 64];
        while (next < kFrames) {
            int n = std::min(64, kFrames - next);
            for (int i = 0; i < n; ++i)
                block[2 * i] = block[2 * i + 1] = static_cast<float>(next + i);
            next += static_cast<int>(ring.write(block, static_cast<std::size_t>(n)));
        }
    });
    int expected = 0;
    float block[2 * 100];
    while (expected < kFrames) {
        auto n = ring.read(block, 100);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(block[2 * i], static_cast<float>(expected++));
    }
    writer.join();
}

TEST(PlayTitle, CutBetweenStreamTitleAndTheNextQuoteSemicolon) {
    using play::cutTitle;
    EXPECT_EQ(cutTitle("StreamTitle='Artist - Song';StreamUrl='';"), "Artist - Song");
    EXPECT_EQ(cutTitle("StreamTitle='';"), "");
    EXPECT_EQ(cutTitle("StreamTitle='AB;C';"), "AB;C");
    EXPECT_EQ(cutTitle("StreamUrl='x';StreamTitle='Song';"), "Song");
    EXPECT_EQ(cutTitle("StreamTitle='Song'"), "Song'");
    EXPECT_EQ(cutTitle("StreamTitle='It's';"), "It's");
    EXPECT_EQ(cutTitle("StreamUrl='x';"), std::nullopt);
}

TEST(PlayTitle, Utf8StaysOtherTextIsWindows1251) {
    using play::toUtf8;
    EXPECT_EQ(toUtf8("plain ASCII"), "plain ASCII");
    EXPECT_EQ(toUtf8("\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE"),
              "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE");                             // "Кино" in UTF-8
    EXPECT_EQ(toUtf8("\xCA\xE8\xED\xEE"), "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE"); // "Кино" in 1251
    EXPECT_EQ(toUtf8("\xB8\xA8"), "\xD1\x91\xD0\x81");                         // "ёЁ"
    EXPECT_EQ(toUtf8("\x96 \x85"), "\xE2\x80\x93 \xE2\x80\xA6");               // en dash, ellipsis
    EXPECT_EQ(toUtf8("\xC0\x80"), "\xD0\x90\xD0\x82"); // an overlong UTF-8 form is not UTF-8: read as 1251
}

TEST(PlayTitle, EventTextHasNoControlCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> table[] = {
        {"Song\r\nfailed forged", "Song  failed forged"},
        {"a\tb\nc\rd", "a b c d"},
        {"\x1B[2Jred\x07", fffd + "[2Jred" + fffd},
        {std::string("nul\0x", 5), "nul" + fffd + "x"},
        {"del\x7F", "del" + fffd},
        {"c1 \xC2\x9B"
         "31m \xC2\x85",
         "c1 " + fffd + "31m " + fffd}, // CSI and NEL as UTF-8
        {"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \xC2\xA0\xC2\xBB ok",
         "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \xC2\xA0\xC2\xBB ok"},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(play::eventText(in), out) << in;
}

} // namespace
} // namespace tembrik::audio
