// tembrik-play as a user runs it: the event lines it prints for a station of the tests' own.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include <algorithm>

#include "support/AudioHelpers.h"
#include "support/TestServer.h"

namespace tembrik::audio::test {
namespace {

// Runs tembrik-play with `arguments` (after `environment`, "NAME=value ..."), returning its
// standard output's lines, whatever its exit status.
std::vector<std::string> runPlayer(const std::string& arguments, const std::string& environment = "") {
    std::vector<std::string> lines;
    auto output = runCommand(environment + " " + std::string(TEMBRIK_PLAY_PATH) + " " + arguments +
                             " 2>/dev/null; true");
    if (!output)
        return lines;
    std::istringstream in(*output);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(PlayCommand, AForgedTitleStaysOneEventLineWithoutControls) {
    TEMBRIK_REQUIRE_ENV("PULSE_SERVER");
    TestServer server;
    const std::string forged = "Song\r\nfailed forged\nplaying\x1B]0;owned\x07\tend";
    const std::string mp3 = encodeTone(440, 3.0, "libmp3lame", "mp3", "128k");
    server.route("/forged", [&](Connection& c) {
        c.send("ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 4096\r\n\r\n" +
               withIcyMetadata(mp3, 4096, [&](int) { return "StreamTitle='" + forged + "';"; }));
    });
    auto lines = runPlayer("--seconds 1 --buffer-ms 500 '" + server.url("/forged") + "'");
    ASSERT_FALSE(lines.empty()) << "tembrik-play printed nothing";
    int titles = 0;
    for (const auto& line : lines) {
        EXPECT_NE(line.rfind("failed", 0), 0u) << line;
        EXPECT_NE(line, "end");
        for (char ch : line) {
            auto c = static_cast<unsigned char>(ch);
            EXPECT_TRUE(c >= 0x20 && c != 0x7F) << "control byte " << static_cast<int>(c) << " in: " << line;
        }
        if (line.rfind("title ", 0) == 0) {
            ++titles;
            EXPECT_EQ(line, "title Song  failed forged playing\xEF\xBF\xBD]0;owned\xEF\xBF\xBD end");
        }
    }
    EXPECT_GE(titles, 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "playing"), 1);
}

// MPEG audio needs no FFmpeg; without its module, the other formats fail with a reason that says so.
TEST(PlayCommand, WithoutTheFfmpegModuleMp3PlaysAndOtherFormatsSayWhatIsMissing) {
    TEMBRIK_REQUIRE_ENV("PULSE_SERVER");
    TestServer server;
    const std::string mp3 = encodeTone(440, 2.0, "libmp3lame", "mp3", "128k");
    const std::string ogg = encodeTone(440, 2.0, "libvorbis", "ogg", "96k");
    ASSERT_FALSE(mp3.empty());
    ASSERT_FALSE(ogg.empty());
    server.route("/tone.mp3", [&](Connection& c) {
        c.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    server.route("/tone.ogg", [&](Connection& c) {
        c.send(TestServer::httpHeader(200, "audio/ogg", static_cast<long long>(ogg.size())) + ogg);
    });
    const std::string missing = "TEMBRIK_FFMPEG_MODULE=/nonexistent/tembrik-audio-ffmpeg.so";
    const std::string options = "--seconds 1 --buffer-ms 500 ";

    auto lines = runPlayer(options + "'" + server.url("/tone.mp3") + "'", missing);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "playing"), 1) << "MP3 without the module";

    lines = runPlayer(options + "'" + server.url("/tone.ogg") + "'", missing);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "failed decoder missing: this format needs the FFmpeg decoder module "
                            "(tembrik-audio-ffmpeg.so), which is not installed");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "playing"), 0);

    // The same stream plays with the module where the build put it.
    lines = runPlayer(options + "'" + server.url("/tone.ogg") + "'");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "playing"), 1) << "Ogg with the module";
}

} // namespace
} // namespace tembrik::audio::test
