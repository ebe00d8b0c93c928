// End to end through the public API against the tests' own HTTP server, on the null output:
// files and radio-style streams, "ICY 200 OK", metadata blocks (huge, truncated), the download
// routine, buffer positions, dropped connections, failures of every kind, and playlists.
#include <gtest/gtest.h>

#include <random>

#include "support/EngineFixture.h"
#include "support/UntrustedTlsServer.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

// An endless-looking radio stream: ICY answer, metadata every `metaint` bytes, paced at `rate`
// bytes per second after an initial burst, then the connection drops.
struct IcyStation {
    std::size_t metaint = 4096;
    std::string audio; // what the station sends, without metadata
    std::function<std::string(int)> titles = [](int) { return std::string(); };
    std::size_t burst = 32768;
    double rate = 64000; // 4x real time for 128 kbit/s
    bool icyStatusLine = true;
    std::string contentType = "audio/mpeg";

    TestServer::Handler handler() const {
        return [s = *this](Connection& c) {
            std::string header = s.icyStatusLine ? "ICY 200 OK\r\n" : "HTTP/1.0 200 OK\r\n";
            header += "icy-name: Test Station\r\nicy-br: 128\r\nContent-Type: " + s.contentType + "\r\n";
            const bool wantsMeta = c.header("icy-metadata") == "1";
            if (wantsMeta)
                header += "icy-metaint: " + std::to_string(s.metaint) + "\r\n";
            header += "\r\n";
            if (!c.send(header))
                return;
            std::string body = wantsMeta ? withIcyMetadata(s.audio, s.metaint, s.titles) : s.audio;
            std::size_t first = std::min(s.burst, body.size());
            if (!c.send(std::string_view(body).substr(0, first)))
                return;
            c.sendPaced(std::string_view(body).substr(first), 1024, s.rate);
        };
    }
};

TEST_F(EngineTest, PlaysAFileToItsEndAndSaysSoOnce) {
    startEngine();
    const std::string& mp3 = mp3Tone();
    ASSERT_GT(mp3.size(), 40000u);
    server.route("/tone.mp3", [&](Connection& c) {
        c.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    auto opened = engine.openUrl(server.url("/tone.mp3"));
    ASSERT_TRUE(opened) << opened.error.text();
    EXPECT_EQ(engine.status(opened.stream), StreamStatus::Stopped);
    EXPECT_EQ(engine.filePosition(opened.stream, Position::End), mp3.size()); // known length
    std::atomic<int> ends{0};
    ASSERT_TRUE(engine.onEnd(opened.stream, [&](const EndEvent& e) {
        EXPECT_EQ(e.stream, opened.stream);
        ++ends;
    }));
    ASSERT_TRUE(engine.play(opened.stream));
    ASSERT_TRUE(eventually([&] { return ends.load() > 0; }, 10s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ends.load(), 1);
    EXPECT_EQ(engine.status(opened.stream), StreamStatus::Ended);
    EXPECT_EQ(engine.filePosition(opened.stream, Position::Download), mp3.size());
    EXPECT_EQ(engine.filePosition(opened.stream, Position::Current), mp3.size());
    auto samples = capture.samples();
    std::size_t loud = 0, first = samples.size();
    for (std::size_t i = 0; i < samples.size(); i += 2) {
        if (std::fabs(samples[i]) > 0.01f) {
            ++loud;
            first = std::min(first, i);
        }
    }
    EXPECT_NEAR(static_cast<double>(loud) / 44100, 2.75, 0.25); // the 3 s tone, less its zero crossings
    ASSERT_LT(first + 2 * 44100 * 2, samples.size());
    // ffmpeg's sine is 1/8 of full scale, less 3 dB for spreading it over two channels.
    EXPECT_NEAR(toneAmplitude(std::span<const float>(samples).subspan(first, 2 * 44100 * 2), 0, 440, 44100),
                0.088, 0.01);
}

TEST_F(EngineTest, IcyAnswerTagsAndNotifications) {
    startEngine();
    IcyStation station;
    station.audio = mp3Tone();
    station.metaint = 8192;
    station.burst = 4096; // the first block arrives after the opening
    station.rate = 32000;
    station.titles = [](int i) {
        if (i == 0)
            return std::string("StreamTitle='First Song';StreamUrl='http://x.example/';");
        if (i == 2)
            return std::string("StreamTitle='\xCA\xE8\xED\xEE - \xCF\xE5\xF1\xED\xFF';"); // Windows-1251
        return std::string();
    };
    server.route("/live", station.handler());
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened) << opened.error.text();
    EXPECT_EQ(engine.metadataTag(opened.stream), std::nullopt); // no block yet
    std::mutex m;
    std::vector<std::string> tags;
    std::atomic<int> ends{0};
    engine.onMetadata(opened.stream, [&](const MetadataEvent& e) {
        std::lock_guard lock(m);
        tags.push_back(e.tag);
    });
    engine.onEnd(opened.stream, [&](const EndEvent&) { ++ends; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ends.load() == 1; }, 15s));
    std::lock_guard lock(m);
    EXPECT_EQ(tags, (std::vector<std::string>{"StreamTitle='First Song';StreamUrl='http://x.example/';",
                                              "StreamTitle='\xCA\xE8\xED\xEE - \xCF\xE5\xF1\xED\xFF';"}));
    EXPECT_EQ(engine.metadataTag(opened.stream), tags.back());
}

TEST_F(EngineTest, DownloadRoutineGetsHeaderThenTheAudioWithoutMetadataThenTheEnd) {
    startEngine();
    IcyStation station;
    station.audio = mp3Tone();
    station.metaint = 1000; // many blocks, split across network pieces
    station.titles = [](int i) {
        return i % 2 ? "StreamTitle='n" + std::to_string(i) + "';" : std::string();
    };
    station.rate = 200000;
    server.route("/live", station.handler());
    DownloadLog log;
    std::atomic<int> ends{0};
    auto opened = engine.openUrl(server.url("/live"), log.callback());
    ASSERT_TRUE(opened) << opened.error.text();
    engine.onEnd(opened.stream, [&](const EndEvent&) { ++ends; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return log.ends.load() == 1; }, 15s));
    {
        std::lock_guard lock(log.mutex);
        ASSERT_GE(log.calls.size(), 3u);
        EXPECT_TRUE(log.calls.front().first);
        EXPECT_EQ(log.calls.front().second.rfind("ICY 200 OK\r\n", 0), 0u) << log.calls.front().second;
        EXPECT_NE(log.calls.front().second.find("icy-metaint: 1000\r\n"), std::string::npos);
        EXPECT_FALSE(log.calls.back().first);
    }
    // The whole stream, whole blocks: exactly the audio the server sent (it ends on a block boundary
    // or not; bytes after the last full metadata interval are audio too).
    EXPECT_EQ(log.data(), station.audio);
    EXPECT_TRUE(eventually([&] { return ends.load() == 1; }, 10s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(log.ends.load(), 1);
}

TEST_F(EngineTest, FreeingAStreamEndsItsDownloadWithTheEndCall) {
    startEngine();
    IcyStation station;
    station.audio = mp3Tone() + mp3Tone() + mp3Tone();
    station.rate = 16000;
    server.route("/live", station.handler());
    DownloadLog log;
    auto opened = engine.openUrl(server.url("/live"), log.callback());
    ASSERT_TRUE(opened);
    engine.play(opened.stream);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(engine.freeStream(opened.stream));
    ASSERT_TRUE(eventually([&] { return log.ends.load() == 1; }, 5s));
    std::lock_guard lock(log.mutex);
    EXPECT_FALSE(log.calls.back().first);
}

TEST_F(EngineTest, BufferPositionsOfARadioStream) {
    startEngine();
    IcyStation station;
    station.audio = mp3Tone() + mp3Tone();
    station.burst = 64 * 1024;
    station.rate = 16000;
    server.route("/live", station.handler());
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened);
    // icy-br 128 with a 3000 ms network buffer: 48000 bytes.
    const auto end = engine.filePosition(opened.stream, Position::End);
    EXPECT_EQ(end, 48000u);
    // Not playing: the buffer fills up, so the player's wait for more than 75 percent ends.
    ASSERT_TRUE(eventually(
        [&] {
            auto d = engine.filePosition(opened.stream, Position::Download);
            auto c = engine.filePosition(opened.stream, Position::Current);
            return d >= c && (d - c) * 100 / end > 75;
        },
        5s));
    auto current = engine.filePosition(opened.stream, Position::Current);
    auto download = engine.filePosition(opened.stream, Position::Download);
    EXPECT_GT(current, 0u);
    EXPECT_GE(download, current);
    EXPECT_EQ(engine.filePosition(StreamHandle{}, Position::End), kPositionFailed);
}

TEST_F(EngineTest, HugeMetadataBlockIsKeptWhole) {
    startEngine();
    const std::string huge = "StreamTitle='" + std::string(4041, 'h') + "';StreamUrl='http://a.b/';";
    ASSERT_EQ(huge.size(), 4080u); // 255 units of 16 bytes, the largest block, no padding
    IcyStation station;
    station.audio = mp3Tone();
    station.metaint = 16000;
    station.titles = [&](int i) { return i == 0 ? huge : std::string(); };
    server.route("/live", station.handler());
    std::atomic<int> events{0};
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened);
    engine.onMetadata(opened.stream, [&](const MetadataEvent& e) {
        EXPECT_EQ(e.tag, huge);
        ++events;
    });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return engine.metadataTag(opened.stream) == huge; }, 10s));
}

TEST_F(EngineTest, TruncatedMetadataBlockThenDropEndsTheStream) {
    startEngine();
    const std::string& mp3 = mp3Tone();
    server.route("/live", [&](Connection& c) {
        std::string body = "ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 20000\r\n\r\n";
        body += mp3.substr(0, 20000);
        body += icyBlock("StreamTitle='complete';");
        body += mp3.substr(20000, 20000);
        body += std::string(1, '\x14') + "StreamTitle='cut of"; // 320 bytes announced, 19 sent
        c.send(body);
    });
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened) << opened.error.text();
    std::atomic<int> ends{0};
    engine.onEnd(opened.stream, [&](const EndEvent&) { ++ends; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ends.load() == 1; }, 10s));
    EXPECT_EQ(engine.metadataTag(opened.stream), "StreamTitle='complete';");
    EXPECT_EQ(engine.filePosition(opened.stream, Position::Download), 40000u);
}

TEST_F(EngineTest, ConnectionDroppedMidStreamEndsAfterTheAudioPlayedOut) {
    startEngine(2.0);
    IcyStation station;
    station.audio = mp3Tone().substr(0, 24000); // 1.5 s
    station.rate = 32000;
    server.route("/live", station.handler());
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened);
    std::atomic<int> ends{0};
    engine.onEnd(opened.stream, [&](const EndEvent&) { ++ends; });
    const auto start = std::chrono::steady_clock::now();
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ends.load() == 1; }, 10s));
    // 1.5 s of audio at twice real time: not before about 0.7 s.
    EXPECT_GT(std::chrono::steady_clock::now() - start, 600ms);
    EXPECT_EQ(engine.status(opened.stream), StreamStatus::Ended);
    EXPECT_GT(toneAmplitude(capture.samples(), 1, 440, 44100), 0.05);
}

TEST_F(EngineTest, NothingIsWrittenAheadOfAStreamsFirstSound) {
    // The station's burst is smaller than the pre-buffer, so the stream plays but waits over a
    // second for the rest at the station's pace. Silence written meanwhile would sit in the
    // device's queue ahead of the first sound and delay it by as much.
    startEngine();
    IcyStation station;
    station.audio = mp3Tone() + mp3Tone();
    station.burst = 8192;
    station.rate = 16000; // real time: 36000 bytes of pre-buffer (75 % of 3 s at 128 kbit/s)
    server.route("/live", station.handler());
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened);
    engine.play(opened.stream);
    ASSERT_TRUE(capture.waitForSound(4410, 0.05f, 10s));
    const auto all = capture.samples();
    std::size_t first = 0;
    while (first < all.size() && std::abs(all[first]) < 0.01f)
        ++first;
    // Only the encoder's and the decoder's delay (about 1600 frames) comes before the tone.
    EXPECT_LT(first / 2, 4096u);
}

TEST_F(EngineTest, StopSilencesTheStreamAndPlayResumesIt) {
    startEngine(1.0);
    IcyStation station;
    station.audio = mp3Tone() + mp3Tone();
    station.rate = 16000;
    server.route("/live", station.handler());
    auto opened = engine.openUrl(server.url("/live"));
    ASSERT_TRUE(opened);
    engine.play(opened.stream);
    ASSERT_TRUE(capture.waitForSound(4410, 0.05f, 5s));
    EXPECT_EQ(engine.status(opened.stream), StreamStatus::Playing);
    EXPECT_TRUE(engine.stop(opened.stream));
    EXPECT_EQ(engine.status(opened.stream), StreamStatus::Stopped);
    std::this_thread::sleep_for(100ms);
    const auto stoppedAt = capture.frames();
    std::this_thread::sleep_for(300ms);
    auto all = capture.samples();
    std::span<const float> after(all.data() + stoppedAt * 2, all.size() - stoppedAt * 2);
    EXPECT_LT(rms(after), 1e-6); // silence (or nothing at all) after the stop
    EXPECT_TRUE(engine.play(opened.stream));
    const auto resumedAt = capture.frames();
    ASSERT_TRUE(eventually([&] { return capture.frames() > resumedAt + 22050; }, 5s));
    all = capture.samples();
    EXPECT_GT(toneAmplitude(std::span<const float>(all).subspan(resumedAt * 2), 0, 440, 44100), 0.05);
}

// --- failures ------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(TestServer&)> setUp;
    std::function<std::string(TestServer&)> address;
    OpenErrorKind kind;
    int httpStatus = 0;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<FailureCase> failureCases() {
    return {
        {"never answers", [](TestServer& s) { s.route("/silent", [](Connection& c) { c.sleep(10s); }); },
         [](TestServer& s) { return s.url("/silent"); }, OpenErrorKind::Timeout},
        {"answers headers, then no data",
         [](TestServer& s) {
             s.route("/mute", [](Connection& c) {
                 c.send(TestServer::httpHeader(200, "audio/mpeg"));
                 c.sleep(10s);
             });
         },
         [](TestServer& s) { return s.url("/mute"); }, OpenErrorKind::Timeout},
        {"404", [](TestServer&) {}, [](TestServer& s) { return s.url("/nothing-here"); },
         OpenErrorKind::HttpStatus, 404},
        {"garbage after a good header",
         [](TestServer& s) {
             s.route("/garbage", [](Connection& c) {
                 std::mt19937 rng(3);
                 std::string junk(300000, '\0');
                 for (auto& ch : junk)
                     ch = static_cast<char>(rng());
                 c.send(TestServer::httpHeader(200, "application/octet-stream") + junk);
             });
         },
         [](TestServer& s) { return s.url("/garbage"); }, OpenErrorKind::NotAudio},
        {"garbage labelled audio/mpeg",
         [](TestServer& s) {
             s.route("/garbage", [](Connection& c) {
                 std::mt19937 rng(5);
                 std::string junk(300000, '\0');
                 for (auto& ch : junk)
                     ch = static_cast<char>('a' + rng() % 26);
                 c.send(TestServer::httpHeader(200, "audio/mpeg") + junk);
             });
         },
         [](TestServer& s) { return s.url("/garbage"); }, OpenErrorKind::NotAudio},
        {"garbage instead of an HTTP answer",
         [](TestServer& s) { s.route("/raw", [](Connection& c) { c.send(std::string(5000, '\x7f')); }); },
         [](TestServer& s) { return s.url("/raw"); }, OpenErrorKind::Network},
        {"a web page",
         [](TestServer& s) {
             s.route("/page", [](Connection& c) {
                 std::string page = "<!DOCTYPE html><html><body>" + std::string(3000, 'x') + "</body></html>";
                 c.send(TestServer::httpHeader(200, "text/html", static_cast<long long>(page.size())) + page);
             });
         },
         [](TestServer& s) { return s.url("/page"); }, OpenErrorKind::NotAudio},
        {"refused", [](TestServer&) {}, [](TestServer&) { return std::string("http://127.0.0.1:1/x"); },
         OpenErrorKind::Refused},
        {"not http", [](TestServer&) {}, [](TestServer&) { return std::string("ftp://127.0.0.1/x.mp3"); },
         OpenErrorKind::BadAddress},
        {"HLS playlist",
         [](TestServer& s) {
             s.route("/hls.m3u8", [](Connection& c) {
                 std::string body = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nseg1.ts\n";
                 c.send(TestServer::httpHeader(200, "application/vnd.apple.mpegurl",
                                               static_cast<long long>(body.size())) +
                        body);
             });
         },
         [](TestServer& s) { return s.url("/hls.m3u8"); }, OpenErrorKind::NotAudio},
        {"playlist whose entries all fail",
         [](TestServer& s) {
             s.route("/dead.pls", [&s](Connection& c) {
                 std::string body =
                     "[playlist]\nFile1=" + s.url("/gone1") + "\nFile2=/gone2\nFile3=http://127.0.0.1:1/x\n";
                 c.send(TestServer::httpHeader(200, "audio/x-scpls", static_cast<long long>(body.size())) +
                        body);
             });
         },
         [](TestServer& s) { return s.url("/dead.pls"); }, OpenErrorKind::NoPlayableEntry},
        {"empty body",
         [](TestServer& s) {
             s.route("/empty", [](Connection& c) { c.send(TestServer::httpHeader(200, "audio/mpeg", 0)); });
         },
         [](TestServer& s) { return s.url("/empty"); }, OpenErrorKind::NotAudio},
    };
}

class OpenFailures : public EngineTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OpenFailures, FailWithAReason) {
    startEngine();
    Options options = engine.options();
    options.connectTimeoutMs = 700;
    engine.setOptions(options);
    const auto& c = GetParam();
    c.setUp(server);
    const auto start = std::chrono::steady_clock::now();
    DownloadLog log;
    auto opened = engine.openUrl(c.address(server), log.callback());
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.stream, StreamHandle{});
    EXPECT_EQ(opened.error.kind, c.kind) << c.name << ": " << opened.error.text();
    if (c.httpStatus) {
        EXPECT_EQ(opened.error.httpStatus, c.httpStatus);
    }
    EXPECT_FALSE(opened.error.text().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.name;
    std::this_thread::sleep_for(50ms);
    std::lock_guard lock(log.mutex);
    EXPECT_TRUE(log.calls.empty()) << "no download calls for a stream that did not open";
}

INSTANTIATE_TEST_SUITE_P(Table, OpenFailures, ::testing::ValuesIn(failureCases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

TEST_F(EngineTest, WithPlaylistResolutionOffAPlaylistIsNotAudio) {
    startEngine();
    Options options = engine.options();
    options.resolvePlaylists = false;
    engine.setOptions(options);
    const std::string& mp3 = mp3Tone();
    server.route("/tone.mp3", [&](Connection& c) {
        c.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    server.route("/list.m3u", [&](Connection& c) {
        std::string body = "#EXTM3U\r\n" + server.url("/tone.mp3") + "\r\n";
        c.send(TestServer::httpHeader(200, "audio/x-mpegurl", static_cast<long long>(body.size())) + body);
    });
    auto opened = engine.openUrl(server.url("/list.m3u"));
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.error.kind, OpenErrorKind::NotAudio);
    EXPECT_EQ(server.connections("/tone.mp3"), 0);
}

// --- playlists -----------------------------------------------------------------------------

struct PlaylistCase {
    const char* name;
    const char* path;
    const char* contentType;
    std::function<std::string(TestServer&)> body; // a dead first entry, then the good one
};

void PrintTo(const PlaylistCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<PlaylistCase> playlistCases() {
    return {
        {"m3u, relative entry after a 404", "/lists/a.m3u", "audio/x-mpegurl",
         [](TestServer&) {
             return std::string(
                 "#EXTM3U\r\n#EXTINF:-1,dead\r\n../missing.mp3\r\n#EXTINF:-1,good\r\n../tone.mp3\r\n");
         }},
        {"m3u8 as text/plain with a BOM, absolute entry after a refused one", "/lists/b.m3u8", "text/plain",
         [](TestServer& s) {
             return "\xEF\xBB\xBF#EXTM3U\nhttp://127.0.0.1:1/refused\n" + s.url("/tone.mp3") + "\n";
         }},
        {"pls, entries out of order", "/lists/c.pls", "audio/x-scpls",
         [](TestServer&) {
             return std::string(
                 "[playlist]\r\nFile2=/tone.mp3\r\nFile1=/missing.mp3\r\nNumberOfEntries=2\r\n");
         }},
        {"asx", "/lists/d.asx", "video/x-ms-asf",
         [](TestServer& s) {
             return "<ASX version=\"3.0\"><Entry><Ref href=\"/missing.mp3\"/></Entry><Entry><REF HREF=\"" +
                    s.url("/tone.mp3") + "\"/></Entry></ASX>";
         }},
        {"xspf found by content", "/lists/e.xspf", "application/octet-stream",
         [](TestServer&) {
             return std::string(
                 "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
                 "<track><location>/missing.mp3</location></track>"
                 "<track><location>/tone.mp3</location></track></trackList></playlist>");
         }},
        {"a playlist of playlists", "/lists/f.m3u", "audio/mpegurl",
         [](TestServer&) { return std::string("/lists/inner.pls\n"); }},
        {"redirect to a playlist; entries relative to where it landed", "/go", "",
         [](TestServer&) { return std::string(); }},
    };
}

class Playlists : public EngineTest, public ::testing::WithParamInterface<PlaylistCase> {};

TEST_P(Playlists, PlayTheFirstEntryThatOpens) {
    startEngine();
    const auto& c = GetParam();
    const std::string& mp3 = mp3Tone();
    server.route("/tone.mp3", [&](Connection& conn) {
        conn.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    server.route("/lists/inner.pls", [](Connection& conn) {
        std::string body = "[playlist]\nFile1=../missing.mp3\nFile2=../tone.mp3\n";
        conn.send(TestServer::httpHeader(200, "audio/x-scpls", static_cast<long long>(body.size())) + body);
    });
    server.route("/go", [&](Connection& conn) {
        conn.send(TestServer::httpHeader(302, "text/html", 0, "Location: /lists/moved/g.pls\r\n"));
    });
    server.route("/lists/moved/g.pls", [](Connection& conn) {
        std::string body = "[playlist]\nFile1=missing.mp3\nFile2=../../tone.mp3\n";
        conn.send(TestServer::httpHeader(200, "audio/x-scpls", static_cast<long long>(body.size())) + body);
    });
    std::string body = c.body(server);
    std::string type = c.contentType;
    if (!body.empty()) {
        server.route(c.path, [body, type](Connection& conn) {
            conn.send(TestServer::httpHeader(200, type, static_cast<long long>(body.size())) + body);
        });
    }
    DownloadLog log;
    auto opened = engine.openUrl(server.url(c.path), log.callback());
    ASSERT_TRUE(opened) << c.name << ": " << opened.error.text();
    EXPECT_EQ(server.connections("/tone.mp3"), 1);
    EXPECT_EQ(engine.filePosition(opened.stream, Position::End), mp3.size());
    std::atomic<int> ends{0};
    engine.onEnd(opened.stream, [&](const EndEvent&) { ++ends; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ends.load() == 1; }, 10s));
    EXPECT_EQ(log.data(), mp3) << "the download routine sees the entry's bytes only";
    std::lock_guard lock(log.mutex);
    EXPECT_NE(log.calls.front().second.find("audio/mpeg"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, Playlists, ::testing::ValuesIn(playlistCases()),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

} // namespace
} // namespace tembrik::audio::test

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

// --- formats -------------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    const char* codec;
    const char* muxer;
    const char* bitrate;
    const char* contentType; // as served: some stations label AAC as audio/mpeg
    int rate;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class Formats : public EngineTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formats, DecodeAndResampleToTheOutput) {
    startEngine();
    const auto& c = GetParam();
    const std::string data = encodeTone(1000, 2.0, c.codec, c.muxer, c.bitrate, c.rate);
    ASSERT_GT(data.size(), 1000u) << "ffmpeg could not make the " << c.name << " sample";
    server.route("/sample", [&](Connection& conn) {
        conn.send(TestServer::httpHeader(200, c.contentType, static_cast<long long>(data.size())) + data);
    });
    auto opened = engine.openUrl(server.url("/sample"));
    ASSERT_TRUE(opened) << c.name << ": " << opened.error.text();
    std::atomic<bool> ended{false};
    engine.onEnd(opened.stream, [&](const EndEvent&) { ended = true; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ended.load(); }, 10s)) << c.name;
    auto samples = capture.samples();
    std::size_t first = 0;
    while (first < samples.size() && std::fabs(samples[first]) < 0.01f)
        ++first;
    first -= first % 2;
    ASSERT_GT(samples.size(), first + 44100 * 2) << c.name << ": less than a second of sound";
    std::span<const float> second(samples.data() + first + 22050, 44100 * 2); // skip the start
    // The tone, at its frequency after resampling to 44100 Hz, on both channels.
    EXPECT_NEAR(medianToneAmplitude(second, 0, 1000, 44100), 0.088, 0.012) << c.name;
    EXPECT_NEAR(medianToneAmplitude(second, 1, 1000, 44100), 0.088, 0.012) << c.name;
    EXPECT_LT(medianToneAmplitude(second, 0, 1000 * 44100.0 / 48000, 44100, 4410), 0.01)
        << c.name << ": wrong rate";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Formats,
    ::testing::Values(FormatCase{"MP3", "libmp3lame", "mp3", "128k", "audio/mpeg", 44100},
                      FormatCase{"MP3 at 48 kHz", "libmp3lame", "mp3", "128k", "audio/mpeg", 48000},
                      FormatCase{"AAC in ADTS", "aac", "adts", "96k", "audio/aacp", 44100},
                      FormatCase{"AAC labelled audio/mpeg", "aac", "adts", "96k", "audio/mpeg", 44100},
                      FormatCase{"Ogg Vorbis", "libvorbis", "ogg", "96k", "application/ogg", 44100},
                      FormatCase{"Ogg Opus", "libopus", "ogg", "64k", "audio/ogg", 48000},
                      FormatCase{"FLAC", "flac", "flac", "0", "audio/flac", 44100},
                      FormatCase{"WMA in ASF", "wmav2", "asf", "128k", "video/x-ms-asf", 44100},
                      FormatCase{"MP3 without a content type", "libmp3lame", "mp3", "128k", "", 22050}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

// A station sending Ogg starts each song as a new chained stream with its own comments.
class ChainedOgg : public EngineTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ChainedOgg, EachSongsCommentsBecomeTheTitle) {
    startEngine();
    const std::string codec = GetParam();
    std::string chain;
    for (const char* song :
         {"-metadata artist=First -metadata title=Song", // one song after another
          "-metadata artist=Second -metadata title=Tune", "-metadata artist=First -metadata title=Song"})
        chain += encodeTone(440, 0.5, codec, "ogg", "64k", 48000, song);
    server.route("/chain.ogg", [&](Connection& c) {
        c.send(TestServer::httpHeader(200, "audio/ogg", static_cast<long long>(chain.size())) + chain);
    });
    auto opened = engine.openUrl(server.url("/chain.ogg"));
    ASSERT_TRUE(opened) << opened.error.text();
    EXPECT_EQ(engine.metadataTag(opened.stream), "StreamTitle='First - Song';");
    std::mutex m;
    std::vector<std::string> tags;
    std::atomic<bool> ended{false};
    engine.onMetadata(opened.stream, [&](const MetadataEvent& e) {
        std::lock_guard lock(m);
        tags.push_back(e.tag);
    });
    engine.onEnd(opened.stream, [&](const EndEvent&) { ended = true; });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return ended.load(); }, 10s));
    std::lock_guard lock(m);
    EXPECT_EQ(tags,
              (std::vector<std::string>{"StreamTitle='Second - Tune';", "StreamTitle='First - Song';"}));
}

INSTANTIATE_TEST_SUITE_P(Table, ChainedOgg, ::testing::Values("libvorbis", "libopus"),
                         [](const auto& p) { return std::string(p.param + 3); });

// An HTTPS station is reached through TLS with the certificate checked: a server whose
// certificate nobody vouches for is refused, and the reason says so. (A trusted local server would
// need the machine's certificate store changed, which a test does not do.)
TEST_F(EngineTest, AnHttpsStationWithAnUntrustedCertificateIsRefused) {
    startEngine();
    UntrustedTlsServer tls;
    ASSERT_TRUE(tls.started()) << tls.error();
    ASSERT_TRUE(tls.waitListening(5s));
    auto opened = engine.openUrl(tls.url());
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.error.text().find("certificate"), std::string::npos) << opened.error.text();
}

// --- network identity ----------------------------------------------------------------------

TEST_F(EngineTest, UserAgentProxyAndMetadataRequest) {
    startEngine();
    // The tests' server stands in for a proxy: a request through a proxy names the whole address.
    const std::string address = "http://radio.invalid:8000/stream";
    std::mutex m;
    std::string agent, icy, proxyAuth;
    server.route(address, [&](Connection& c) {
        {
            std::lock_guard lock(m);
            agent = c.header("user-agent");
            icy = c.header("icy-metadata");
            proxyAuth = c.header("proxy-authorization");
        }
        const std::string& mp3 = mp3Tone();
        c.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
    });
    Options options = engine.options();
    options.userAgent = "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US) Tembrik";
    options.proxy = "user:secret@127.0.0.1:" + std::to_string(server.port());
    engine.setOptions(options);
    auto opened = engine.openUrl(address);
    ASSERT_TRUE(opened) << opened.error.text();
    std::lock_guard lock(m);
    EXPECT_EQ(agent, options.userAgent);
    EXPECT_EQ(icy, "1");
    EXPECT_EQ(proxyAuth, "Basic dXNlcjpzZWNyZXQ="); // user:secret
    // Options apply to streams opened later only, and an empty proxy means none.
    options.proxy = "";
    engine.setOptions(options);
    auto direct = engine.openUrl(address);
    EXPECT_FALSE(direct);
    EXPECT_EQ(direct.error.kind, OpenErrorKind::Refused)
        << direct.error.text(); // radio.invalid does not resolve
}

} // namespace
} // namespace tembrik::audio::test
