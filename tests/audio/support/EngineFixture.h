// A test fixture: an engine on the null output (captured), the tests' own HTTP server, and the
// test sounds, made once per process.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/AudioHelpers.h"
#include "support/TestServer.h"
#include "tembrik/audio/Engine.h"

namespace tembrik::audio::test {

// Three seconds of a 440 Hz tone as MP3, 128 kbit/s, 44100 Hz stereo.
inline const std::string& mp3Tone() {
    static const std::string data = encodeTone(440, 3.0, "libmp3lame", "mp3", "128k");
    return data;
}

// Records every call of a download routine.
struct DownloadLog {
    std::mutex mutex;
    std::vector<std::pair<bool, std::string>> calls; // (buffer present, bytes; header text for length 0)
    std::atomic<int> ends{0};

    DownloadCallback callback() {
        return [this](const char* buffer, std::size_t length) {
            std::lock_guard lock(mutex);
            if (!buffer) {
                calls.emplace_back(false, std::string());
                ++ends;
            } else if (length == 0) {
                calls.emplace_back(true, std::string(buffer));
            } else {
                calls.emplace_back(true, std::string(buffer, length));
            }
        };
    }
    std::string data() {
        std::lock_guard lock(mutex);
        std::string out;
        for (std::size_t i = 1; i < calls.size(); ++i) {
            if (calls[i].first)
                out += calls[i].second;
        }
        return out;
    }
};

// Waits until pred() is true, polling; false on time-out.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class EngineTest : public ::testing::Test {
protected:
    // speed: how much faster than real time the null output consumes.
    void startEngine(double speed = 8.0) {
        EngineConfig config;
        config.backend = OutputBackend::Null;
        config.nullSpeed = speed;
        config.capture = capture.sink();
        ASSERT_TRUE(engine.init(config)) << engine.initError();
        Options options = engine.options();
        options.connectTimeoutMs = 2000;
        options.networkBufferMs = 3000;
        options.playbackBufferMs = 2000; // slack for a decode thread slowed by a busy machine (or TSan)
        engine.setOptions(options);
    }

    void TearDown() override { engine.free(); }

    Capture capture;
    TestServer server;
    Engine engine;
};

} // namespace tembrik::audio::test
