#include "support/AudioHelpers.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <sstream>

extern char** environ;

namespace tembrik::audio::test {

std::optional<std::string> runCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    std::array<char, 65536> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        out.append(buf.data(), n);
    int status = ::pclose(pipe);
    if (status != 0)
        return std::nullopt;
    return out;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool fixturesRequired() {
    return env("TEMBRIK_REQUIRE_FIXTURES") == "1";
}

std::string encodeTone(double frequency, double seconds, const std::string& codec, const std::string& format,
                       const std::string& bitrate, int rate, const std::string& extra) {
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i 'sine=frequency=" +
                      std::to_string(frequency) + ":sample_rate=" + std::to_string(rate) +
                      ":duration=" + std::to_string(seconds) + "' -ac 2 -c:a " + codec + " -b:a " + bitrate +
                      " " + extra + " -f " + format + " -";
    auto out = runCommand(cmd);
    return out ? *out : std::string();
}

std::vector<float> sine(double frequency, double amplitude, double seconds, int rate) {
    auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        auto v = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        out[2 * i] = v;
        out[2 * i + 1] = v;
    }
    return out;
}

namespace {
void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
} // namespace

std::string floatWav(const std::vector<float>& stereo, int rate) {
    std::string s;
    const auto dataBytes = static_cast<std::uint32_t>(stereo.size() * sizeof(float));
    s += "RIFF";
    put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 3); // IEEE float
    put16(s, 2);
    put32(s, static_cast<std::uint32_t>(rate));
    put32(s, static_cast<std::uint32_t>(rate) * 8);
    put16(s, 8);
    put16(s, 32);
    s += "data";
    put32(s, dataBytes);
    s.append(reinterpret_cast<const char*>(stereo.data()), dataBytes);
    return s;
}

std::string icyBlock(const std::string& text) {
    std::size_t units = (text.size() + 15) / 16;
    std::string block(1, static_cast<char>(units));
    block += text;
    block.append(units * 16 - text.size(), '\0');
    return block;
}

std::string withIcyMetadata(std::string_view audio, std::size_t metaint,
                            const std::function<std::string(int)>& blockText) {
    std::string out;
    int block = 0;
    for (std::size_t pos = 0; pos < audio.size(); pos += metaint) {
        out.append(audio.substr(pos, metaint));
        if (pos + metaint <= audio.size())
            out += icyBlock(blockText(block++));
    }
    return out;
}

double toneAmplitude(std::span<const float> stereo, int channel, double frequency, double rate) {
    const std::size_t n = stereo.size() / 2;
    if (n < 2)
        return 0;
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    double re = 0, im = 0, windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                           static_cast<double>(n - 1));
        double x = stereo[2 * i + static_cast<std::size_t>(channel)] * hann;
        re += x * std::cos(w * static_cast<double>(i));
        im -= x * std::sin(w * static_cast<double>(i));
        windowSum += hann;
    }
    return 2.0 * std::sqrt(re * re + im * im) / windowSum;
}

double toneAmplitudeMono(std::span<const std::int16_t> mono, double frequency, double rate) {
    std::vector<float> stereo(mono.size() * 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        stereo[2 * i] = static_cast<float>(mono[i]) / 32768.0f;
    return toneAmplitude(stereo, 0, frequency, rate);
}

double medianToneAmplitude(std::span<const float> stereo, int channel, double frequency, double rate,
                           std::size_t window) {
    std::vector<double> amplitudes;
    for (std::size_t at = 0; (at + window) * 2 <= stereo.size(); at += window) {
        amplitudes.push_back(toneAmplitude(stereo.subspan(at * 2, window * 2), channel, frequency, rate));
    }
    if (amplitudes.empty())
        return 0;
    auto middle = amplitudes.begin() + static_cast<std::ptrdiff_t>(amplitudes.size() / 2);
    std::nth_element(amplitudes.begin(), middle, amplitudes.end());
    return *middle;
}

double rms(std::span<const float> stereo) {
    if (stereo.empty())
        return 0;
    double sum = 0;
    for (float v : stereo)
        sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(stereo.size()));
}

std::size_t Capture::frameAt(std::chrono::steady_clock::time_point t) const {
    std::lock_guard lock(mutex_);
    std::size_t before = 0;
    for (const auto& [time, endFrame] : times_) {
        if (time > t)
            return before;
        before = endFrame;
    }
    return before;
}

bool Capture::waitForFrames(std::size_t frames, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return samples_.size() / 2 >= frames; });
}

bool Capture::waitForSound(std::size_t frames, float threshold, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    std::size_t counted = 0, scanned = 0;
    return cv_.wait_for(lock, timeout, [&] {
        for (; scanned + 1 < samples_.size(); scanned += 2) {
            if (std::fabs(samples_[scanned]) > threshold)
                ++counted;
        }
        return counted >= frames;
    });
}

PrivateSink::PrivateSink() {
    static std::atomic<int> counter{0};
    name_ = "tembrik_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    auto out =
        runCommand("pactl load-module module-null-sink sink_name=" + name_ + " rate=44100 2>/dev/null");
    if (out && !out->empty())
        module_ = std::atoi(out->c_str());
}

PrivateSink::~PrivateSink() {
    if (module_ >= 0)
        runCommand("pactl unload-module " + std::to_string(module_) + " 2>/dev/null");
}

int PrivateSink::playbackStreams() const {
    // Both lists are tab-separated: a sink's index and name; a stream's index and its sink's index.
    auto sinks = runCommand("pactl list short sinks 2>/dev/null");
    auto inputs = runCommand("pactl list short sink-inputs 2>/dev/null");
    if (!sinks || !inputs)
        return -1;
    // The first column of each line whose second column is `value`.
    auto firstColumnsWhere = [](const std::string& lines, const std::string& value) {
        std::vector<std::string> found;
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos && line.compare(tab + 1, value.size() + 1, value + "\t") == 0)
                found.push_back(line.substr(0, tab));
        }
        return found;
    };
    const auto index = firstColumnsWhere(*sinks, name_);
    if (index.size() != 1)
        return -1;
    return static_cast<int>(firstColumnsWhere(*inputs, index.front()).size());
}

MonitorRecorder::MonitorRecorder(const std::string& source) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string device = "--device=" + source;
    const char* argv[] = {"parec",        device.c_str(),      "--raw", "--format=s16le", "--rate=44100",
                          "--channels=1", "--latency-msec=20", nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (pid <= 0) {
        ::close(pipeFds[0]);
        return;
    }
    pid_ = pid;
    fd_ = pipeFds[0];
    reader_ = std::thread([this] {
        std::vector<char> buf(8192);
        std::string carry;
        while (true) {
            ssize_t n = ::read(fd_, buf.data(), buf.size());
            if (n <= 0)
                break;
            carry.append(buf.data(), static_cast<std::size_t>(n));
            std::size_t whole = carry.size() / 2;
            std::lock_guard lock(mutex_);
            std::size_t at = samples_.size();
            samples_.resize(at + whole);
            std::memcpy(&samples_[at], carry.data(), whole * 2);
            carry.erase(0, whole * 2);
        }
    });
}

std::vector<std::int16_t> MonitorRecorder::samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<std::int16_t> MonitorRecorder::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (reader_.joinable())
        reader_.join();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return samples();
}

MonitorRecorder::~MonitorRecorder() {
    stop();
}

} // namespace tembrik::audio::test
