// Life cycle and handles: zero, freed and stale handles fail without effect (also those from
// before a free/init cycle), init fails cleanly without a sound server, and everything holds when
// many threads call at once, when callbacks free their own stream, and when free() meets an open.
#include <gtest/gtest.h>

#include <random>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

// Every call on a bad stream handle fails and changes nothing.
void expectDead(Engine& engine, StreamHandle h) {
    EXPECT_FALSE(engine.play(h));
    EXPECT_FALSE(engine.stop(h));
    EXPECT_FALSE(engine.setVolume(h, 0.5f));
    EXPECT_EQ(engine.volume(h), std::nullopt);
    EXPECT_EQ(engine.status(h), StreamStatus::Invalid);
    EXPECT_EQ(engine.filePosition(h, Position::Current), kPositionFailed);
    EXPECT_EQ(engine.filePosition(h, Position::Download), kPositionFailed);
    EXPECT_EQ(engine.filePosition(h, Position::End), kPositionFailed);
    EXPECT_EQ(static_cast<std::uint32_t>(engine.filePosition(h, Position::End)), 0xFFFFFFFFu);
    EXPECT_EQ(engine.metadataTag(h), std::nullopt);
    EXPECT_FALSE(engine.onMetadata(h, [](const MetadataEvent&) {}));
    EXPECT_FALSE(engine.onEnd(h, [](const EndEvent&) {}));
    EXPECT_EQ(engine.addEffect(h, EffectType::ParametricEq, 1), EffectHandle{});
    EXPECT_EQ(engine.addEffect(h, EffectType::Reverb, 1), EffectHandle{});
    EXPECT_FALSE(engine.freeStream(h));
}

void expectDeadEffect(Engine& engine, EffectHandle e) {
    EqBandParams eq{1234, 5, 6};
    ReverbParams rv{-1, -2, 3, 0.4f};
    EXPECT_FALSE(engine.getParameters(e, eq));
    EXPECT_FALSE(engine.setParameters(e, eq));
    EXPECT_FALSE(engine.getParameters(e, rv));
    EXPECT_FALSE(engine.setParameters(e, rv));
    EXPECT_FALSE(engine.removeEffect(e));
    EXPECT_EQ(eq.centerHz, 1234); // records untouched
    EXPECT_EQ(rv.reverbTimeMs, 3);
}

class Handles : public EngineTest {
protected:
    StreamHandle openTone() {
        auto opened = engine.openUrl(server.url("/tone.mp3"));
        EXPECT_TRUE(opened) << opened.error.text();
        return opened.stream;
    }
    void SetUp() override {
        server.route("/tone.mp3", [](Connection& c) {
            const std::string& mp3 = mp3Tone();
            c.send(TestServer::httpHeader(200, "audio/mpeg", static_cast<long long>(mp3.size())) + mp3);
        });
    }
};

TEST_F(Handles, BeforeInitEverythingFails) {
    auto opened = engine.openUrl(server.url("/tone.mp3"));
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.error.kind, OpenErrorKind::NotInitialised);
    EXPECT_FALSE(engine.initialised());
    expectDead(engine, StreamHandle{});
    expectDead(engine, StreamHandle{0x1001});
    engine.free(); // harmless
}

TEST_F(Handles, ZeroFreedAndStaleHandlesAreHarmless) {
    startEngine();
    expectDead(engine, StreamHandle{});
    expectDeadEffect(engine, EffectHandle{});
    StreamHandle a = openTone();
    ASSERT_TRUE(a);
    EffectHandle fx = engine.addEffect(a, EffectType::ParametricEq, 1);
    ASSERT_TRUE(fx);
    EXPECT_NE(fx.value, a.value);
    expectDead(engine, StreamHandle{fx.value});         // an effect handle is no stream
    expectDeadEffect(engine, EffectHandle{a.value});    // nor a stream handle an effect
    expectDead(engine, StreamHandle{a.value ^ 0x1000}); // another generation of the same slot
    EXPECT_TRUE(engine.freeStream(a));
    expectDead(engine, a);
    expectDeadEffect(engine, fx); // effects went with their stream
    // A new stream never gets the old handle back.
    StreamHandle b = openTone();
    ASSERT_TRUE(b);
    EXPECT_NE(b, a);
    expectDead(engine, a);
    EXPECT_EQ(engine.status(b), StreamStatus::Stopped);
}

TEST_F(Handles, HandlesFromBeforeAFreeInitCycleStayDead) {
    startEngine();
    StreamHandle a = openTone();
    ASSERT_TRUE(a);
    EffectHandle fx = engine.addEffect(a, EffectType::Reverb, 1);
    ASSERT_TRUE(fx);
    engine.play(a);
    engine.free();
    EXPECT_FALSE(engine.initialised());
    expectDead(engine, a);
    startEngine();
    expectDead(engine, a);
    expectDeadEffect(engine, fx);
    StreamHandle b = openTone();
    ASSERT_TRUE(b);
    EXPECT_NE(a, b);
}

TEST_F(Handles, InitTwiceFailsAndInitWithoutASoundServerFailsCleanly) {
    startEngine();
    EXPECT_FALSE(engine.init());
    EXPECT_EQ(engine.initError(), "already initialised");
    EXPECT_TRUE(engine.initialised());
    Engine other;
    EngineConfig config;
    config.server = "unix:/nonexistent/tembrik-no-such-socket";
    config.connectTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(other.init(config));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_NE(other.initError().find("no sound server"), std::string::npos) << other.initError();
    EXPECT_FALSE(other.initialised());
    auto opened = other.openUrl(server.url("/tone.mp3"));
    EXPECT_EQ(opened.error.kind, OpenErrorKind::NotInitialised);
}

TEST_F(Handles, TheDownloadRoutineMayFreeItsOwnStream) {
    startEngine();
    // The recording's pattern: at the end of its download the routine frees the stream.
    std::atomic<int> endCalls{0};
    std::atomic<std::uint32_t> self{0};
    std::atomic<bool> freed{false};
    auto opened = engine.openUrl(server.url("/tone.mp3"), [&](const char* buffer, std::size_t) {
        if (!buffer) {
            eventually([&] { return self.load() != 0; }, 5s);
            freed = engine.freeStream(StreamHandle{self.load()});
            ++endCalls;
        }
    });
    ASSERT_TRUE(opened);
    self = opened.stream.value;
    ASSERT_TRUE(eventually([&] { return endCalls.load() == 1; }, 10s));
    EXPECT_TRUE(freed.load());
    expectDead(engine, opened.stream);
}

TEST_F(Handles, TheEndNotificationMayFreeItsStreamAndOpenAnother) {
    startEngine();
    // The player's pattern: the end notification issues a new play request.
    auto opened = engine.openUrl(server.url("/tone.mp3"));
    ASSERT_TRUE(opened);
    std::atomic<int> reopened{0};
    std::atomic<std::uint32_t> next{0};
    engine.onEnd(opened.stream, [&](const EndEvent& e) {
        EXPECT_TRUE(engine.freeStream(e.stream));
        auto again = engine.openUrl(server.url("/tone.mp3"));
        if (again) {
            next = again.stream.value;
            engine.play(again.stream);
            ++reopened;
        }
    });
    engine.play(opened.stream);
    ASSERT_TRUE(eventually([&] { return reopened.load() == 1; }, 10s));
    expectDead(engine, opened.stream);
    EXPECT_NE(engine.status(StreamHandle{next.load()}), StreamStatus::Invalid);
}

TEST_F(Handles, FreeDuringAnOpenAbortsIt) {
    startEngine();
    Options options = engine.options();
    options.connectTimeoutMs = 20000;
    engine.setOptions(options);
    server.route("/silent", [](Connection& c) { c.sleep(30s); });
    OpenResult result;
    std::thread opener([&] { result = engine.openUrl(server.url("/silent")); });
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    engine.free();
    opener.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error.kind, OpenErrorKind::Aborted);
}

TEST_F(Handles, ManyThreadsAtOnce) {
    startEngine(8.0);
    server.route("/live", [](Connection& c) {
        std::string body = "ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 2048\r\n\r\n";
        body += withIcyMetadata(mp3Tone(), 2048,
                                [](int i) { return "StreamTitle='t" + std::to_string(i) + "';"; });
        if (c.send(body.substr(0, 20000)))
            c.sendPaced(std::string_view(body).substr(20000), 2048, 64000);
    });
    std::atomic<bool> stop{false};
    std::mutex m;
    std::vector<StreamHandle> handles; // guarded by m
    std::atomic<int> opens{0}, events{0};
    auto anyHandle = [&](std::mt19937& rng) {
        std::lock_guard lock(m);
        if (handles.empty())
            return StreamHandle{static_cast<std::uint32_t>(rng())};
        return handles[rng() % handles.size()];
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] { // openers and freers
            std::mt19937 rng(static_cast<unsigned>(t));
            while (!stop.load()) {
                auto opened = engine.openUrl(server.url(rng() % 2 ? "/live" : "/tone.mp3"),
                                             [&](const char*, std::size_t) {});
                if (!opened)
                    continue;
                ++opens;
                engine.onMetadata(opened.stream, [&](const MetadataEvent&) { ++events; });
                engine.onEnd(opened.stream, [&](const EndEvent& e) { engine.freeStream(e.stream); });
                engine.play(opened.stream);
                std::lock_guard lock(m);
                handles.push_back(opened.stream);
                if (handles.size() > 3) {
                    engine.freeStream(handles.front());
                    handles.erase(handles.begin());
                }
            }
        });
    }
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] { // everything else, on live, freed and made-up handles
            std::mt19937 rng(static_cast<unsigned>(100 + t));
            while (!stop.load()) {
                StreamHandle h = anyHandle(rng);
                switch (rng() % 9) {
                case 0:
                    engine.setVolume(h, static_cast<float>(rng() % 100) / 100.0f);
                    break;
                case 1:
                    engine.stop(h);
                    break;
                case 2:
                    engine.play(h);
                    break;
                case 3:
                    (void)engine.filePosition(h, static_cast<Position>(rng() % 3));
                    break;
                case 4:
                    (void)engine.metadataTag(h);
                    break;
                case 5: {
                    auto fx = engine.addEffect(h, rng() % 2 ? EffectType::ParametricEq : EffectType::Reverb,
                                               static_cast<int>(rng() % 3));
                    EqBandParams p{static_cast<float>(rng() % 20000), 18,
                                   static_cast<float>(rng() % 30) - 15};
                    engine.setParameters(fx, p);
                    ReverbParams r;
                    if (engine.getParameters(fx, r))
                        engine.setParameters(fx, r);
                    if (rng() % 2)
                        engine.removeEffect(fx);
                    break;
                }
                case 6:
                    (void)engine.status(h);
                    break;
                case 7:
                    engine.setOptions(engine.options());
                    break;
                default:
                    std::this_thread::sleep_for(1ms);
                    break;
                }
            }
        });
    }
    std::this_thread::sleep_for(2500ms);
    stop = true;
    for (auto& t : threads)
        t.join();
    EXPECT_GT(opens.load(), 0);
    engine.free();
    for (auto h : handles)
        expectDead(engine, h);
}

} // namespace
} // namespace tembrik::audio::test
