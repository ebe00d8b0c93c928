// Against a real radio station and a real sound server (the fixtures of test.sh): icecast2 on
// 127.0.0.1 fed by ffmpeg tone generators, PulseAudio with null sinks whose monitors are recorded.
// Each format plays and is heard; titles changed through icecast's admin interface arrive as tag
// text and notifications; Ogg titles come from the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

struct Mount {
    const char* path;
    double tone; // Hz, as station.sh feeds it
};

void PrintTo(const Mount& m, std::ostream* os) {
    *os << m.path;
}

const Mount kMounts[] = {{"/mp3", 440}, {"/aac", 660}, {"/ogg", 550}, {"/opus", 880}};

std::string mountUrl(const char* path) {
    return env("TEMBRIK_ICECAST_URL") + path;
}

// The tone's amplitude in each 50 ms window of a recording, sorted.
std::vector<double> windowAmplitudes(std::span<const std::int16_t> mono, double frequency) {
    std::vector<double> amplitudes;
    for (std::size_t at = 0; at + 2205 <= mono.size(); at += 2205) {
        amplitudes.push_back(toneAmplitudeMono(mono.subspan(at, 2205), frequency, 44100));
    }
    std::sort(amplitudes.begin(), amplitudes.end());
    return amplitudes;
}

// How many 50 ms windows carry the tone at about the level the station feeds (0.088).
std::size_t windowsWithTone(std::span<const std::int16_t> mono, double frequency) {
    auto a = windowAmplitudes(mono, frequency);
    return static_cast<std::size_t>(std::count_if(a.begin(), a.end(), [](double v) { return v > 0.06; }));
}

double peakToneAmplitude(std::span<const std::int16_t> mono, double frequency) {
    auto a = windowAmplitudes(mono, frequency);
    return a.empty() ? 0.0 : a.back();
}

// Plays `url` on the PulseAudio output while recording `monitor`, until the recording made while
// the stream plays holds a second of `tone` (in 50 ms windows: a busy machine may make the sound
// server drop out now and then, which must not fail the test) or 25 seconds have passed. A mount
// that has just gone on the air has no burst for its first listener, and a tone in Vorbis runs far
// below its nominal bit rate, so the pre-buffer may fill at the stream's own pace for 10 s or more.
std::vector<std::int16_t> playAndRecord(Engine& engine, const std::string& url, const std::string& monitor,
                                        double tone, std::string& failure) {
    MonitorRecorder recorder(monitor);
    if (!recorder.ok()) {
        failure = "parec did not start";
        return {};
    }
    if (!eventually([&] { return !recorder.samples().empty(); }, 5s)) {
        failure = "parec recorded nothing";
        return {};
    }
    auto opened = engine.openUrl(url);
    if (!opened) {
        failure = "open failed: " + opened.error.text();
        return {};
    }
    engine.play(opened.stream);
    const std::size_t start = recorder.samples().size();
    eventually(
        [&] {
            auto all = recorder.samples();
            if (all.size() < start)
                return false;
            return windowsWithTone(std::span<const std::int16_t>(all).subspan(start), tone) >= 20;
        },
        25s);
    auto recording = recorder.stop();
    engine.freeStream(opened.stream);
    recording.erase(recording.begin(),
                    recording.begin() + static_cast<std::ptrdiff_t>(std::min(start, recording.size())));
    return recording;
}

class StationFormats : public ::testing::TestWithParam<Mount> {};

TEST_P(StationFormats, PlaysAndIsHeardInTheNullSinksRecording) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    TEMBRIK_REQUIRE_ENV("PULSE_SERVER");
    const Mount& mount = GetParam();
    PrivateSink sink; // a sink of this test's own: tests running in parallel do not mix
    ASSERT_TRUE(sink.ok()) << "pactl could not load a null sink";
    Engine engine;
    EngineConfig config;
    config.sinkName = sink.name();
    ASSERT_TRUE(engine.init(config)) << engine.initError();
    std::string failure;
    auto recording = playAndRecord(engine, mountUrl(mount.path), sink.monitor(), mount.tone, failure);
    ASSERT_TRUE(failure.empty()) << failure;
    EXPECT_GE(windowsWithTone(recording, mount.tone), 20u)
        << mount.path << ": the tone is not in the recording" << [&] {
               std::string peaks = "; peaks per 100 ms:";
               for (std::size_t i = 0; i < recording.size(); i += 4410) {
                   int peak = 0;
                   for (std::size_t k = i; k < std::min(recording.size(), i + 4410); ++k)
                       peak = std::max(peak, std::abs(int{recording[k]}));
                   peaks += " " + std::to_string(peak);
               }
               return peaks;
           }();
    const double wanted = peakToneAmplitude(recording, mount.tone);
    for (const auto& other : kMounts) {
        if (other.tone != mount.tone) {
            EXPECT_LT(peakToneAmplitude(recording, other.tone), wanted / 10) << other.path;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Icecast, StationFormats, ::testing::ValuesIn(kMounts),
                         [](const auto& p) { return std::string(p.param.path + 1); });

TEST(Station, TheSoundServerHoldsNoStreamOfOursWhileNothingPlays) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    TEMBRIK_REQUIRE_ENV("PULSE_SERVER");
    PrivateSink sink;
    ASSERT_TRUE(sink.ok()) << "pactl could not load a null sink";
    Engine engine;
    EngineConfig config;
    config.sinkName = sink.name();
    ASSERT_TRUE(engine.init(config)) << engine.initError();
    // The stream opened at start is given up when nothing has played for a few seconds; each
    // station takes it again, is heard, and gives it up once it is stopped.
    EXPECT_TRUE(eventually([&] { return sink.playbackStreams() == 0; }, 15s)) << sink.playbackStreams();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::string failure;
        auto recording = playAndRecord(engine, mountUrl("/mp3"), sink.monitor(), 440, failure);
        ASSERT_TRUE(failure.empty()) << failure;
        EXPECT_GE(windowsWithTone(recording, 440), 20u);
        EXPECT_TRUE(eventually([&] { return sink.playbackStreams() == 0; }, 15s)) << sink.playbackStreams();
    }
}

TEST(Station, DefaultDeviceReachesTheFixturesNullSink) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    TEMBRIK_REQUIRE_ENV("TEMBRIK_NULL_MONITOR");
    Engine engine;
    ASSERT_TRUE(engine.init()) << engine.initError(); // the default device at 44100 Hz
    std::string failure;
    auto recording = playAndRecord(engine, mountUrl("/mp3"), env("TEMBRIK_NULL_MONITOR"), 440, failure);
    ASSERT_TRUE(failure.empty()) << failure;
    // Other tests may play into the shared sink meanwhile: ours must be there, not alone.
    EXPECT_GE(windowsWithTone(recording, 440), 20u);
}

TEST(Station, BufferFillsPastThePlayersThresholdQuickly) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    Engine engine;
    EngineConfig config;
    config.backend = OutputBackend::Null;
    ASSERT_TRUE(engine.init(config));
    Options options;
    options.networkBufferMs = 3000;
    engine.setOptions(options);
    auto opened = engine.openUrl(mountUrl("/mp3"));
    ASSERT_TRUE(opened) << opened.error.text();
    const auto end = engine.filePosition(opened.stream, Position::End);
    EXPECT_EQ(end, 48000u); // 3 s at 128 kbit/s
    // icecast bursts on connect: the player's buffering loop (more than 75 %) ends at once.
    EXPECT_TRUE(eventually(
        [&] {
            auto d = engine.filePosition(opened.stream, Position::Download);
            auto c = engine.filePosition(opened.stream, Position::Current);
            return (d - c) * 100 / end > 75;
        },
        1s));
}

// Sets the title of `mount` through icecast's admin interface.
bool setTitle(const std::string& mount, const std::string& song) {
    std::string escaped;
    for (unsigned char c : song) {
        if (std::isalnum(c)) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    std::string cmd = "curl -s -f -o /dev/null --max-time 5 -u '" + env("TEMBRIK_ICECAST_ADMIN") + "' '" +
                      env("TEMBRIK_ICECAST_URL") + "/admin/metadata?mount=" + mount +
                      "&mode=updinfo&charset=UTF-8&song=" + escaped + "'";
    return runCommand(cmd).has_value();
}

class StationTitles : public ::testing::TestWithParam<const char*> {};

TEST_P(StationTitles, AdminTitleChangesArriveAsTagTextAndNotifications) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_ADMIN");
    const std::string mount = GetParam();
    Engine engine;
    EngineConfig config;
    config.backend = OutputBackend::Null;
    ASSERT_TRUE(engine.init(config));
    auto opened = engine.openUrl(mountUrl(mount.c_str()));
    ASSERT_TRUE(opened) << opened.error.text();
    std::mutex m;
    std::vector<std::string> tags;
    engine.onMetadata(opened.stream, [&](const MetadataEvent& e) {
        std::lock_guard lock(m);
        tags.push_back(e.tag);
    });
    engine.play(opened.stream);
    std::mt19937 rng(std::random_device{}());
    const std::string song =
        "Tembrik Test - Song " + std::to_string(rng() % 1000000) + " \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
    const std::string expected = "StreamTitle='" + song + "';";
    // Other tests may change the title meanwhile: say it again until it comes through.
    bool seen = false;
    for (int attempt = 0; attempt < 6 && !seen; ++attempt) {
        ASSERT_TRUE(setTitle(mount, song));
        seen = eventually(
            [&] {
                std::lock_guard lock(m);
                return std::any_of(tags.begin(), tags.end(),
                                   [&](const std::string& t) { return t.rfind(expected, 0) == 0; });
            },
            2500ms);
    }
    ASSERT_TRUE(seen) << "no notification with " << expected;
    auto tag = engine.metadataTag(opened.stream);
    ASSERT_TRUE(tag.has_value());
    EXPECT_EQ(tag->rfind("StreamTitle='", 0), 0u) << *tag;
}

INSTANTIATE_TEST_SUITE_P(Icecast, StationTitles, ::testing::Values("/mp3", "/aac"),
                         [](const auto& p) { return std::string(p.param + 1); });

struct OggTitle {
    const char* path;
    const char* tag;
};

void PrintTo(const OggTitle& t, std::ostream* os) {
    *os << t.path;
}

class StationOggTitles : public ::testing::TestWithParam<OggTitle> {};

TEST_P(StationOggTitles, CommentsBecomeStreamTitleTags) {
    TEMBRIK_REQUIRE_ENV("TEMBRIK_ICECAST_URL");
    Engine engine;
    EngineConfig config;
    config.backend = OutputBackend::Null;
    ASSERT_TRUE(engine.init(config));
    auto opened = engine.openUrl(mountUrl(GetParam().path));
    ASSERT_TRUE(opened) << opened.error.text();
    EXPECT_EQ(engine.metadataTag(opened.stream), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(Icecast, StationOggTitles,
                         ::testing::Values(OggTitle{"/ogg", "StreamTitle='Tembrik - Vorbis Tone';"},
                                           OggTitle{"/opus", "StreamTitle='Tembrik - Opus Tone';"}),
                         [](const auto& p) { return std::string(p.param.path + 1); });

} // namespace
} // namespace tembrik::audio::test
