// Shared helpers of the audio tests: test sounds, ICY framing, tone measurement, capture of the
// null output, recording of a PulseAudio monitor, fixture checks.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tembrik::audio::test {

// Encodes `seconds` of a stereo sine tone with the ffmpeg program ("libmp3lame", "mp3", "128k"...);
// `extra` goes on ffmpeg's command line before the output (e.g. "-metadata title=X").
std::string encodeTone(double frequency, double seconds, const std::string& codec, const std::string& format,
                       const std::string& bitrate = "128k", int rate = 44100, const std::string& extra = "");

// A 32-bit float PCM WAV file of interleaved stereo samples.
std::string floatWav(const std::vector<float>& stereo, int rate);

// Stereo sine (same on both channels).
std::vector<float> sine(double frequency, double amplitude, double seconds, int rate);

// Inserts ICY metadata blocks every `metaint` audio bytes; blockText(i) gives the text of the i-th
// block ("" for an empty block). The text is NUL-padded to whole 16-byte units.
std::string withIcyMetadata(std::string_view audio, std::size_t metaint,
                            const std::function<std::string(int)>& blockText);
std::string icyBlock(const std::string& text);

// Amplitude of the `frequency` component of one channel of interleaved stereo (Goertzel, with a
// Hann window so a tone between bins is measured well).
double toneAmplitude(std::span<const float> stereo, int channel, double frequency, double rate);
double toneAmplitudeMono(std::span<const std::int16_t> mono, double frequency, double rate); // full scale 1.0
double rms(std::span<const float> stereo);
// The median of toneAmplitude over windows of `window` frames: a gap spoils one window only.
double medianToneAmplitude(std::span<const float> stereo, int channel, double frequency, double rate,
                           std::size_t window = 2205);

// Collects what the null output renders.
class Capture {
public:
    std::function<void(std::span<const float>)> sink() {
        return [this](std::span<const float> block) {
            std::lock_guard lock(mutex_);
            samples_.insert(samples_.end(), block.begin(), block.end());
            times_.push_back({std::chrono::steady_clock::now(), samples_.size() / 2});
            cv_.notify_all();
        };
    }
    std::vector<float> samples() const {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::size_t frames() const {
        std::lock_guard lock(mutex_);
        return samples_.size() / 2;
    }
    // Index of the first frame rendered after `t`.
    std::size_t frameAt(std::chrono::steady_clock::time_point t) const;
    bool waitForFrames(std::size_t frames, std::chrono::milliseconds timeout);
    // Waits until at least `frames` frames with |sample| > threshold have been captured.
    bool waitForSound(std::size_t frames, float threshold, std::chrono::milliseconds timeout);
    void clear() {
        std::lock_guard lock(mutex_);
        samples_.clear();
        times_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<float> samples_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::size_t>>
        times_; // end frame of each block
};

// A private PulseAudio null sink (module-null-sink) for one test, removed again at the end.
class PrivateSink {
public:
    PrivateSink();
    ~PrivateSink();
    bool ok() const { return module_ >= 0; }
    const std::string& name() const { return name_; }
    std::string monitor() const { return name_ + ".monitor"; }
    // Playback streams connected to the sink now, -1 when pactl cannot tell.
    int playbackStreams() const;

private:
    std::string name_;
    int module_ = -1;
};

// Records a PulseAudio source (a sink's monitor) with parec: mono, 16-bit, 44100 Hz, low latency.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const std::string& source);
    ~MonitorRecorder();
    bool ok() const { return pid_ > 0; }
    std::vector<std::int16_t> samples() const;
    std::vector<std::int16_t> stop();

private:
    int pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_; // guarded by mutex_
};

// Runs a shell command, returning its standard output (nullopt when it failed).
std::optional<std::string> runCommand(const std::string& command);

// Environment variable or "".
std::string env(const char* name);

bool fixturesRequired();

} // namespace tembrik::audio::test

// Skips the test when the fixture's variable is missing, or fails it when test.sh said fixtures are required.
#define TEMBRIK_REQUIRE_ENV(var)                                                                             \
    do {                                                                                                     \
        if (::tembrik::audio::test::env(var).empty()) {                                                      \
            if (::tembrik::audio::test::fixturesRequired())                                                  \
                FAIL() << var << " is not set";                                                              \
            GTEST_SKIP() << var << " is not set (start the fixtures with test.sh)";                          \
        }                                                                                                    \
    } while (false)
