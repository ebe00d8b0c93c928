// A hostile or confused server: bodies that FFmpeg would read as instructions (a concat script, a
// DASH or HLS manifest, a session description, a list of local files) are refused as not audio,
// without a file opened or a connection made.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

// A real MP3 file in a place a hostile body names: if anything read it, the stream would play.
class SecretFile {
public:
    explicit SecretFile(const std::filesystem::path& path) : path_(path) {
        std::ofstream(path_, std::ios::binary) << mp3Tone();
    }
    ~SecretFile() { std::filesystem::remove(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct HostileCase {
    const char* name;
    const char* contentType;
    // Given the watched server's address and the secret files' relative and absolute names.
    std::function<std::string(const std::string& watch, const std::string& relative,
                              const std::string& absolute)>
        body;
    bool resolvePlaylists;
    OpenErrorKind kind;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<HostileCase> hostileCases() {
    auto concatRelative = [](const std::string&, const std::string& relative, const std::string&) {
        return "ffconcat version 1.0\nfile '" + relative + "'\n";
    };
    auto concatAbsolute = [](const std::string&, const std::string&, const std::string& absolute) {
        return "ffconcat version 1.0\nfile '" + absolute + "'\nfile '" + absolute + "'\n";
    };
    auto dash = [](const std::string& watch, const std::string&, const std::string&) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
               "mediaPresentationDuration=\"PT3S\" minBufferTime=\"PT1S\" "
               "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">\n"
               "<Period><AdaptationSet mimeType=\"audio/mpeg\"><Representation id=\"a\" bandwidth=\"128000\">"
               "<BaseURL>" +
               watch + "/segment.mp3</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
    };
    auto sdp = [](const std::string&, const std::string&, const std::string&) {
        return std::string("v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=radio\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                           "m=audio 5004 RTP/AVP 14\r\n");
    };
    auto hls = [](const std::string& watch, const std::string&, const std::string&) {
        return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:3\n#EXTINF:3.0,\n" + watch +
               "/segment.mp3\n#EXT-X-ENDLIST\n";
    };
    auto localFiles = [](const std::string&, const std::string& relative, const std::string& absolute) {
        return "#EXTM3U\nfile:" + absolute + "\nfile://" + absolute + "\n" + relative + "\nfd:0\npipe:0\n";
    };
    const auto octets = "application/octet-stream";
    return {
        {"ffconcat, relative path", octets, concatRelative, true, OpenErrorKind::NotAudio},
        {"ffconcat, absolute path", octets, concatAbsolute, true, OpenErrorKind::NotAudio},
        {"ffconcat labelled audio/mpeg", "audio/mpeg", concatAbsolute, true, OpenErrorKind::NotAudio},
        {"DASH manifest", "application/dash+xml", dash, true, OpenErrorKind::NotAudio},
        {"DASH manifest labelled audio/aacp", "audio/aacp", dash, true, OpenErrorKind::NotAudio},
        {"SDP", "application/sdp", sdp, true, OpenErrorKind::NotAudio},
        {"HLS", "application/vnd.apple.mpegurl", hls, true, OpenErrorKind::NotAudio},
        {"HLS with playlist resolution off", octets, hls, false, OpenErrorKind::NotAudio},
        {"file: and fd: entries with playlist resolution off", octets, localFiles, false,
         OpenErrorKind::NotAudio},
        {"file: and fd: entries as a playlist", "audio/x-mpegurl", localFiles, true,
         OpenErrorKind::NoPlayableEntry},
    };
}

class HostileBodies : public EngineTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileBodies, AreRefusedWithoutTouchingFilesOrNetwork) {
    startEngine();
    const auto& c = GetParam();
    Options options = engine.options();
    options.resolvePlaylists = c.resolvePlaylists;
    engine.setOptions(options);
    const std::string relative = "tembrik-secret-" + std::to_string(getpid()) + ".mp3";
    SecretFile inWorkingDirectory(std::filesystem::current_path() / relative);
    SecretFile inTemp(std::filesystem::temp_directory_path() / relative);
    TestServer watch; // a port of our own that nothing but FFmpeg could learn of
    const std::string mp3 = mp3Tone();
    watch.route("/segment.mp3", [&](Connection& conn) {
        conn.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    const std::string body =
        c.body("http://127.0.0.1:" + std::to_string(watch.port()), relative, inTemp.path().string());
    const std::string type = c.contentType;
    server.route("/hostile", [body, type](Connection& conn) {
        conn.send(TestServer::httpHeader(200, type, static_cast<long long>(body.size())) + body);
    });
    auto opened = engine.openUrl(server.url("/hostile"));
    EXPECT_FALSE(opened) << c.name << " played";
    EXPECT_EQ(opened.error.kind, c.kind) << c.name << ": " << opened.error.text();
    if (c.kind == OpenErrorKind::NotAudio) {
        EXPECT_TRUE(opened.error.text().starts_with("not audio: ")) << opened.error.text();
    }
    EXPECT_EQ(watch.accepted(), 0) << c.name << ": a connection to an address in the body";
}

INSTANTIATE_TEST_SUITE_P(Table, HostileBodies, ::testing::ValuesIn(hostileCases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

// --- clear reasons -------------------------------------------------------------------------

struct ReasonCase {
    const char* name;
    std::function<void(TestServer&)> setUp; // serves "/x"
    OpenErrorKind kind;
    const char* says; // a part of the reason
};

void PrintTo(const ReasonCase& c, std::ostream* os) {
    *os << c.name;
}

// Sends `chunk` again and again, a live station that never ends.
void endless(Connection& c, const std::string& header, const std::string& chunk) {
    if (!c.send(header))
        return;
    while (c.sendPaced(chunk, 4096, 64000)) {
    }
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& ch : out)
        ch = static_cast<char>(rng());
    return out;
}

std::vector<ReasonCase> reasonCases() {
    const std::string mpeg = TestServer::httpHeader(200, "audio/mpeg");
    return {
        {"endless gzip labelled audio/mpeg",
         [=](TestServer& s) {
             s.route("/x", [=](Connection& c) { endless(c, mpeg, "\x1F\x8B\x08" + randomBytes(50000, 1)); });
         },
         OpenErrorKind::NotAudio, "not audio: gzip data"},
        {"endless zeros labelled audio/mpeg",
         [=](TestServer& s) {
             s.route("/x", [=](Connection& c) { endless(c, mpeg, std::string(50000, '\0')); });
         },
         OpenErrorKind::NotAudio, "not audio: zeros"},
        {"endless random bytes labelled audio/aacp",
         [=](TestServer& s) {
             s.route("/x", [=](Connection& c) {
                 endless(c, TestServer::httpHeader(200, "audio/aacp"), randomBytes(50000, 2));
             });
         },
         OpenErrorKind::NotAudio, "not audio: no audio frames"},
        {"a 1 MB header line",
         [](TestServer& s) {
             s.route("/x", [](Connection& c) {
                 c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nX-Padding: " +
                        std::string(1 << 20, 'a') + "\r\n\r\n" + mp3Tone());
             });
         },
         OpenErrorKind::Network, "header is too large"},
        {"a 50 MB playlist",
         [](TestServer& s) {
             s.route("/x", [](Connection& c) {
                 std::string lines;
                 for (int i = 0; i < 5000; ++i)
                     lines += "http://127.0.0.1:1/entry" + std::to_string(i) + "\n";
                 if (!c.send(TestServer::httpHeader(200, "audio/x-mpegurl", 50 << 20) + "#EXTM3U\n"))
                     return;
                 for (std::size_t sent = 0; sent < (50u << 20) && c.send(lines); sent += lines.size()) {
                 }
             });
         },
         OpenErrorKind::NotAudio, "a playlist larger than 1 MB"},
        {"a playlist that refers to itself",
         [](TestServer& s) {
             s.route("/x", [](Connection& c) {
                 std::string body = "#EXTM3U\n/x\n";
                 c.send(TestServer::httpHeader(200, "audio/x-mpegurl", static_cast<long long>(body.size())) +
                        body);
             });
         },
         OpenErrorKind::NoPlayableEntry, "playlists nest too deep"},
    };
}

class ClearReasons : public EngineTest, public ::testing::WithParamInterface<ReasonCase> {};

TEST_P(ClearReasons, SayWhatIsWrong) {
    startEngine();
    Options options = engine.options();
    options.connectTimeoutMs = 20000; // a reason that came from the time-out would not be this one
    engine.setOptions(options);
    const auto& c = GetParam();
    c.setUp(server);
    auto opened = engine.openUrl(server.url("/x"));
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.error.kind, c.kind) << c.name << ": " << opened.error.text();
    EXPECT_NE(opened.error.text().find(c.says), std::string::npos) << c.name << ": " << opened.error.text();
}

INSTANTIATE_TEST_SUITE_P(Table, ClearReasons, ::testing::ValuesIn(reasonCases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

// The label is a second opinion: an MP3 station (with an ID3 tag, as a file has) that says it
// sends AAC plays, long before the time-out.
TEST_F(EngineTest, AnMp3StationLabelledAacPlays) {
    startEngine();
    Options options = engine.options();
    options.connectTimeoutMs = 20000;
    engine.setOptions(options);
    const std::string tagged =
        encodeTone(440, 3.0, "libmp3lame", "mp3", "128k", 44100, "-metadata title=Tagged");
    ASSERT_EQ(tagged.substr(0, 3), "ID3");
    server.route("/x", [&](Connection& c) {
        if (!c.send(TestServer::httpHeader(200, "audio/aacp")))
            return;
        while (c.sendPaced(tagged, 4096, 16000)) {
        }
    });
    auto opened = engine.openUrl(server.url("/x"));
    ASSERT_TRUE(opened) << opened.error.text();
    engine.play(opened.stream);
    EXPECT_TRUE(capture.waitForSound(22050, 0.01f, std::chrono::seconds(10)));
}

} // namespace
} // namespace tembrik::audio::test
