// A hostile or confused server: bodies that FFmpeg would read as instructions (a concat script, a
// DASH or HLS manifest, a session description, a list of local files) are refused as not audio,
// without a file opened or a connection made.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

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

} // namespace
} // namespace tembrik::audio::test
