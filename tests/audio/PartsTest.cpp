// Small parts: format hints, handle tables, the decoded-audio ring, tembrik-play's title cutting.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "Title.h"
#include "decode/FormatHint.h"
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

TEST(FormatHint, FirstBytes) {
    using decode::formatFromMagic;
    EXPECT_EQ(formatFromMagic("OggS\0\x02", ""), "ogg");
    EXPECT_EQ(formatFromMagic("fLaC\0\0", ""), "flac");
    EXPECT_EQ(formatFromMagic(std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8), ""), "asf");
    EXPECT_EQ(formatFromMagic(std::string("RIFF\x24\0\0\0WAVEfmt ", 16), ""), "wav");
    EXPECT_EQ(formatFromMagic("ID3\x03\0\0", ""), "mp3");
    EXPECT_EQ(formatFromMagic("ID3\x03\0\0", "aac"), "aac");
    EXPECT_EQ(formatFromMagic(std::string("\xFF\xF1\x50\x80", 4), ""), "aac"); // ADTS
    EXPECT_EQ(formatFromMagic(std::string("\xFF\xFB\x90\x64", 4), ""), "mp3"); // MPEG-1 layer III
    EXPECT_EQ(formatFromMagic(std::string("\xFF\xFB\xF0\x64", 4), ""), "");    // bad bit-rate index
    EXPECT_EQ(formatFromMagic("<html>", "mp3"), "");
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

} // namespace
} // namespace tembrik::audio
