// Playlist recognition and parsing against playlists as stations really serve them: CR LF, BOMs,
// comments, entries out of order, odd case, entities, relative entries, Windows paths, HLS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/Playlist.h"
#include "source/Url.h"

namespace tembrik::audio::source {
namespace {

struct Case {
    const char* name;
    const char* contentType;
    std::string body;
    PlaylistKind kind;
    std::vector<std::string> urls; // resolved against kBase
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

constexpr const char* kBase = "http://radio.example/lists/station.pls?id=7";

std::vector<Case> cases() {
    return {
        {"m3u with BOM, CR LF, comments, blank lines, relative entry",
         "audio/x-mpegurl",
         "\xEF\xBB\xBF#EXTM3U\r\n\r\n#EXTINF:-1,Radio\r\nhttp://a.example:8000/live\r\n  \r\nstream2.mp3\r\n",
         PlaylistKind::M3u,
         {"http://a.example:8000/live", "http://radio.example/lists/stream2.mp3"}},
        {"m3u8 served as text/plain, found by content",
         "text/plain",
         "#EXTM3U\n#EXTINF:0, Station\n/abs/path.aac\n",
         PlaylistKind::M3u,
         {"http://radio.example/abs/path.aac"}},
        {"bare list of addresses without a type",
         "",
         "http://one.example/a\nhttps://two.example/b\n",
         PlaylistKind::M3u,
         {"http://one.example/a", "https://two.example/b"}},
        {"m3u skips Windows paths and duplicates",
         "audio/mpegurl",
         "C:\\Music\\song.mp3\nhttp://x.example/s\nhttp://x.example/s\nD:/other.mp3\n",
         PlaylistKind::M3u,
         {"http://x.example/s"}},
        {"HLS is recognised and not played",
         "application/vnd.apple.mpegurl",
         "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\nseg1.ts\n",
         PlaylistKind::Hls,
         {}},
        {"pls with entries out of order, odd case, spaces",
         "audio/x-scpls",
         "[playlist]\r\nNumberOfEntries=2\r\nFile2=http://b.example/2\r\ntitle1=One\r\nfile1 = "
         "http://a.example/1 \r\n"
         "Length1=-1\r\nVersion=2\r\n",
         PlaylistKind::Pls,
         {"http://a.example/1", "http://b.example/2"}},
        {"pls served as audio/mpeg is still a playlist",
         "audio/mpeg",
         "[Playlist]\nFile1=relative/one\nFile3=\nFile10=http://c.example/10\nFile2=http://c.example/2\n",
         PlaylistKind::Pls,
         {"http://radio.example/lists/relative/one", "http://c.example/2", "http://c.example/10"}},
        {"asx with mixed case, quotes and entities",
         "video/x-ms-asf",
         "<ASX version=\"3.0\">\r\n <Title>R</Title>\r\n <Entry><REF "
         "HREF='http://w.example/s?a=1&amp;b=2'/></Entry>\r\n"
         " <entry><ref href=\"mms://w.example/live\" /></entry>\r\n <ENTRYREF href=\"more.asx\"/>\r\n</ASX>",
         PlaylistKind::Asx,
         {"http://w.example/s?a=1&b=2", "http://w.example/live", "http://radio.example/lists/more.asx"}},
        {"asx behind an XML declaration",
         "text/xml",
         "<?xml version=\"1.0\"?>\n<asx version=\"3.0\"><entry><ref "
         "href=\"http://x.example/a\"/></entry></asx>",
         PlaylistKind::Asx,
         {"http://x.example/a"}},
        {"ASF reference file",
         "video/x-ms-asf",
         "[Reference]\r\nRef1=http://wm.example/live?MSWMExt=.asf\r\nRef2=mms://wm.example/live\r\n",
         PlaylistKind::AsfReference,
         {"http://wm.example/live?MSWMExt=.asf", "http://wm.example/live"}},
        {"xspf with namespace, CDATA and entities",
         "application/xspf+xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" "
         "xmlns=\"http://xspf.org/ns/0/\">\n"
         "<trackList>\n<track><location>http://x.example/a?x=1&amp;y=2</location></track>\n"
         "<track><location><![CDATA[http://x.example/b]]></location></track>\n"
         "<track><title>no location</title></track>\n</trackList></playlist>",
         PlaylistKind::Xspf,
         {"http://x.example/a?x=1&y=2", "http://x.example/b"}},
        {"an MP3 stream is not a playlist",
         "audio/mpeg",
         std::string("\xFF\xFB\x90\x64\x00\x00\x00", 7),
         PlaylistKind::None,
         {}},
        {"an ASF stream under video/x-ms-asf is not a playlist",
         "video/x-ms-asf",
         std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9", 10),
         PlaylistKind::None,
         {}},
        {"a web page is not a playlist",
         "text/html",
         "<!DOCTYPE html><html><body>Not found</body></html>",
         PlaylistKind::None,
         {}},
    };
}

class PlaylistCases : public ::testing::TestWithParam<Case> {};

TEST_P(PlaylistCases, KindAndEntries) {
    const Case& c = GetParam();
    auto kind = detectPlaylist(c.contentType, c.body.substr(0, 1024));
    EXPECT_EQ(kind, c.kind) << c.name;
    if (kind != PlaylistKind::None) {
        EXPECT_EQ(playlistUrls(kind, c.body, kBase), c.urls) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PlaylistCases, ::testing::ValuesIn(cases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

TEST(Playlist, ContentTypeParametersAndCaseAreIgnored) {
    EXPECT_EQ(detectPlaylist("Audio/X-MpegURL; charset=UTF-8", "whatever\n"), PlaylistKind::M3u);
    EXPECT_EQ(detectPlaylist(" audio/x-scpls ", "junk"), PlaylistKind::Pls);
    EXPECT_EQ(detectPlaylist("application/octet-stream", "[playlist]\nFile1=http://a/"), PlaylistKind::Pls);
}

struct UrlCase {
    const char* base;
    const char* ref;
    std::optional<std::string> expected;
};

TEST(Url, ResolvesLikeABrowser) {
    const UrlCase table[] = {
        {"http://h.example/dir/list.pls", "a.mp3", "http://h.example/dir/a.mp3"},
        {"http://h.example/dir/list.pls", "/x", "http://h.example/x"},
        {"http://h.example/dir/list.pls", "//o.example/y", "http://o.example/y"},
        {"http://h.example/dir/sub/list.pls", "../z", "http://h.example/dir/z"},
        {"https://h.example/l.m3u", "https://s.example:8443/p?q=1", "https://s.example:8443/p?q=1"},
        {"http://h.example/l.m3u", "  http://spaced.example/s  ", "http://spaced.example/s"},
        {"http://h.example/l.m3u", "MMS://wm.example/live", "http://wm.example/live"},
        {"http://h.example/l.m3u", "ftp://f.example/x", std::nullopt},
        {"http://h.example/l.m3u", "C:\\x.mp3", std::nullopt},
        {"http://h.example/l.m3u", "file:///home/x.mp3", std::nullopt},
        {"http://h.example/l.m3u", "", std::nullopt},
    };
    for (const auto& c : table)
        EXPECT_EQ(resolveUrl(c.base, c.ref), c.expected) << c.base << " + " << c.ref;
}

TEST(Url, OnlyHttpAndHttpsWithAHost) {
    EXPECT_TRUE(isHttpUrl("http://a"));
    EXPECT_TRUE(isHttpUrl("HTTPS://a.example:1/x"));
    EXPECT_FALSE(isHttpUrl("http://"));
    EXPECT_FALSE(isHttpUrl("http:///x"));
    EXPECT_FALSE(isHttpUrl("mms://a"));
    EXPECT_FALSE(isHttpUrl("/local/file.mp3"));
    EXPECT_FALSE(isHttpUrl(""));
}

} // namespace
} // namespace tembrik::audio::source
