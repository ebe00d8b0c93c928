// The stream-metadata demuxer against messy real-world framing: blocks split anywhere, empty and
// padded blocks, the largest block, text in two charsets, a block cut off by the end of the stream.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "source/IcyDemuxer.h"
#include "support/AudioHelpers.h"

namespace tembrik::audio::source {
namespace {

using test::icyBlock;

struct Result {
    std::string audio;
    std::vector<std::string> metadata;
};

Result feedInPieces(std::size_t metaint, const std::string& stream, const std::vector<std::size_t>& pieces) {
    IcyDemuxer demuxer(metaint);
    Result r;
    std::size_t pos = 0, i = 0;
    while (pos < stream.size()) {
        std::size_t n =
            pieces.empty() ? stream.size() : std::min(pieces[i++ % pieces.size()], stream.size() - pos);
        demuxer.feed(
            stream.data() + pos, n, [&](const char* p, std::size_t len) { r.audio.append(p, len); },
            [&](std::string_view t) { r.metadata.emplace_back(t); });
        pos += n;
    }
    return r;
}

struct Case {
    const char* name;
    std::size_t metaint;
    std::string stream;
    std::string audio;
    std::vector<std::string> metadata;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string bytes(std::size_t n, char c) {
    return std::string(n, c);
}

std::vector<Case> cases() {
    const std::string cyrillic1251 =
        "StreamTitle='\xCA\xE8\xED\xEE - \xCF\xE5\xF1\xED\xFF';"; // "Кино - Песня"
    const std::string cyrillicUtf8 =
        "StreamTitle='\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE - \xD0\x9F\xD0\xB5\xD1\x81';";
    const std::string huge = "StreamTitle='" + bytes(4080 - 15, 'x') + "';"; // exactly 255 units, no padding
    return {
        {"no metadata: every byte is audio", 0, "abc\0\x01xyz", "abc\0\x01xyz", {}},
        {"empty blocks only",
         4,
         "aaaa" + std::string(1, '\0') + "bbbb" + std::string(1, '\0') + "cc",
         "aaaabbbbcc",
         {}},
        {"one block, NUL padded",
         4,
         "aaaa" + icyBlock("StreamTitle='A - B';") + "bbbb",
         "aaaabbbb",
         {"StreamTitle='A - B';"}},
        {"title and url, the form stations send",
         3,
         "abc" + icyBlock("StreamTitle='Artist - Song';StreamUrl='';") + "def" + std::string(1, '\0') + "gh",
         "abcdefgh",
         {"StreamTitle='Artist - Song';StreamUrl='';"}},
        {"same text twice is reported twice",
         2,
         "ab" + icyBlock("StreamTitle='X';") + "cd" + icyBlock("StreamTitle='X';"),
         "abcd",
         {"StreamTitle='X';", "StreamTitle='X';"}},
        {"a block of NULs is empty", 2, "ab" + std::string(1, '\x02') + bytes(32, '\0') + "cd", "abcd", {}},
        {"largest block (255 units, 4080 bytes)",
         5,
         "12345" + std::string(1, '\xFF') + huge + "67890",
         "1234567890",
         {huge}},
        {"Windows-1251 title passes as bytes", 1, "a" + icyBlock(cyrillic1251) + "b", "ab", {cyrillic1251}},
        {"UTF-8 title passes as bytes", 1, "a" + icyBlock(cyrillicUtf8) + "b", "ab", {cyrillicUtf8}},
        {"text after a NUL inside the block is dropped",
         2,
         "ab" + std::string(1, '\x01') + std::string("T='x';\0junk\0\0\0\0\0", 16) + "cd",
         "abcd",
         {"T='x';"}},
        {"metaint of one byte",
         1,
         "a" + std::string(1, '\0') + "b" + icyBlock("StreamTitle='1';") + "c",
         "abc",
         {"StreamTitle='1';"}},
        {"stream ends inside a block: nothing reported",
         4,
         "aaaa" + std::string(1, '\x02') + "StreamTitle='cut",
         "aaaa",
         {}},
        {"stream ends at a length byte", 4, "aaaa", "aaaa", {}},
    };
}

class IcyDemuxerCases : public ::testing::TestWithParam<Case> {};

TEST_P(IcyDemuxerCases, WholeStream) {
    const Case& c = GetParam();
    auto r = feedInPieces(c.metaint, c.stream, {});
    EXPECT_EQ(r.audio, c.audio);
    EXPECT_EQ(r.metadata, c.metadata);
}

TEST_P(IcyDemuxerCases, EverySplitGivesTheSameResult) {
    const Case& c = GetParam();
    for (std::size_t piece : {1u, 2u, 3u, 7u, 16u, 17u, 4097u}) {
        auto r = feedInPieces(c.metaint, c.stream, {piece});
        EXPECT_EQ(r.audio, c.audio) << "pieces of " << piece;
        EXPECT_EQ(r.metadata, c.metadata) << "pieces of " << piece;
    }
    std::mt19937 rng(7);
    std::vector<std::size_t> random;
    for (int i = 0; i < 64; ++i)
        random.push_back(1 + rng() % 40);
    auto r = feedInPieces(c.metaint, c.stream, random);
    EXPECT_EQ(r.audio, c.audio);
    EXPECT_EQ(r.metadata, c.metadata);
}

INSTANTIATE_TEST_SUITE_P(Table, IcyDemuxerCases, ::testing::ValuesIn(cases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

TEST(IcyDemuxer, LongStreamKeepsItsRhythm) {
    std::string audio;
    for (int i = 0; i < 100000; ++i)
        audio += static_cast<char>('a' + i % 26);
    auto stream = test::withIcyMetadata(audio, 8192, [](int i) {
        return i % 3 == 0 ? "StreamTitle='song " + std::to_string(i) + "';" : std::string();
    });
    auto r = feedInPieces(8192, stream, {1460, 17, 9000});
    EXPECT_EQ(r.audio, audio.substr(0, audio.size()));
    ASSERT_EQ(r.metadata.size(), 4u); // blocks 0, 3, 6 and 9 of the 12 blocks carry text
    EXPECT_EQ(r.metadata.front(), "StreamTitle='song 0';");
    EXPECT_EQ(r.metadata.back(), "StreamTitle='song 9';");
}

} // namespace
} // namespace tembrik::audio::source
