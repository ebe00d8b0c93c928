// tembrik-play: plays an internet-radio address on the default output and prints one line per event:
//   connecting | buffering PCT | playing | title TEXT | end | failed REASON
// Exit status: 0 when it played, 1 when it could not, 2 for a bad command line.
#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Timings.h"
#include "Title.h"
#include "tembrik/audio/Engine.h"

namespace {

namespace audio = tembrik::audio;
using Clock = std::chrono::steady_clock;

std::atomic<bool> g_interrupted{false}; // set by the main thread when SIGINT or SIGTERM arrived

// SIGINT and SIGTERM end the player, SIGUSR1 is the end notification's wake-up call. They are
// blocked in every thread and taken by the main thread with sigtimedwait: no handler, no polling.
sigset_t wakeSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    return set;
}

// Sleeps until a signal arrives or `timeout` passes (forever when negative).
void waitForSignal(std::chrono::duration<double> timeout) {
    sigset_t set = wakeSignals();
    int sig;
    if (timeout.count() < 0) {
        sig = sigwaitinfo(&set, nullptr);
    } else {
        timespec ts{};
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
        ts.tv_sec = static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
        sig = sigtimedwait(&set, nullptr, &ts);
    }
    if (sig == SIGINT || sig == SIGTERM)
        g_interrupted.store(true);
}

std::mutex g_printMutex;

// One event per line, whatever the server's text holds.
void say(const std::string& event) {
    const std::string line = tembrik::play::eventText(tembrik::play::toUtf8(event));
    std::lock_guard lock(g_printMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void sayTitle(std::string_view tag) {
    auto title = tembrik::play::cutTitle(tag);
    if (title && !title->empty())
        say("title " + *title);
}

struct Arguments {
    double seconds = 0;  // 0: until the stream ends
    int bufferMs = 3000; // the player's shipped setting (config.txt: buffer 3)
    std::string proxy;
    std::string agent = "Tembrik/2.1";
    std::string record;
    std::vector<int> eq;
    bool timings = false;
    std::string url;
};

const char* const kUsage =
    "usage: tembrik-play [--seconds N] [--buffer-ms N] [--proxy TEXT] [--agent TEXT] [--record FILE] "
    "[--eq B1,...,B10] [--timings] URL\n";

bool parse(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        try {
            if (a == "--seconds") {
                if (!value(v))
                    return false;
                args.seconds = std::stod(v);
            } else if (a == "--buffer-ms") {
                if (!value(v))
                    return false;
                args.bufferMs = std::stoi(v);
            } else if (a == "--proxy") {
                if (!value(args.proxy))
                    return false;
            } else if (a == "--agent") {
                if (!value(args.agent))
                    return false;
            } else if (a == "--record") {
                if (!value(args.record))
                    return false;
            } else if (a == "--eq") {
                if (!value(v))
                    return false;
                std::stringstream in(v);
                std::string part;
                while (std::getline(in, part, ','))
                    args.eq.push_back(std::stoi(part));
                if (args.eq.size() != 10)
                    return false;
            } else if (a == "--timings") {
                args.timings = true;
            } else if (a == "-h" || a == "--help") {
                return false;
            } else if (!a.empty() && a[0] == '-') {
                return false;
            } else {
                if (!args.url.empty())
                    return false;
                args.url = a;
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    return !args.url.empty();
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!parse(argc, argv, args)) {
        std::cerr << kUsage;
        return 2;
    }
    if (args.timings)
        tembrik::play::enableTimings();
    tembrik::play::stamp("main");
    sigset_t blocked = wakeSignals();
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr); // before any thread starts: they all inherit it

    audio::Engine engine;
    if (!engine.init()) {
        say("failed " + engine.initError());
        return 1;
    }
    audio::Options options;
    options.networkBufferMs = args.bufferMs;
    options.userAgent = args.agent;
    options.proxy = args.proxy;
    options.connectTimeoutMs = 10000;
    engine.setOptions(options);
    tembrik::play::stamp("engine ready");

    // Recording: the download routine's blocks, as the server sent them without metadata.
    std::shared_ptr<std::ofstream> recordFile;
    if (!args.record.empty()) {
        recordFile = std::make_shared<std::ofstream>(args.record, std::ios::binary | std::ios::trunc);
        if (!*recordFile) {
            std::cerr << "tembrik-play: cannot write " << args.record << "\n";
            return 2;
        }
    }
    audio::DownloadCallback download;
    if (recordFile) {
        download = [recordFile](const char* buffer, std::size_t length) {
            if (buffer && length > 0) {
                recordFile->write(buffer, static_cast<std::streamsize>(length));
            } else if (!buffer) {
                recordFile->flush();
            }
        };
    }

    say("connecting");
    tembrik::play::stamp("connecting");
    auto opened = engine.openUrl(args.url, download);
    if (!opened) {
        say("failed " + opened.error.text());
        return 1;
    }
    const audio::StreamHandle stream = opened.stream;
    tembrik::play::stamp("opened");

    // Buffering, as the player does it: until more than 75 percent of the network buffer is filled.
    int lastPercent = -1;
    auto lastProgress = Clock::now();
    std::uint64_t lastDownload = 0;
    while (!g_interrupted.load()) {
        std::uint64_t end = engine.filePosition(stream, audio::Position::End);
        waitForSignal(std::chrono::milliseconds(0)); // only looks
        if (end == audio::kPositionFailed || end == 0)
            break;
        auto downloaded = engine.filePosition(stream, audio::Position::Download);
        auto current = engine.filePosition(stream, audio::Position::Current);
        auto percent =
            static_cast<int>((static_cast<std::int64_t>(downloaded) - static_cast<std::int64_t>(current)) *
                             100 / static_cast<std::int64_t>(end));
        if (percent != lastPercent)
            say("buffering " + std::to_string(percent));
        lastPercent = percent;
        if (percent > 75 || percent < 0)
            break;
        if (downloaded != lastDownload) {
            lastDownload = downloaded;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > std::chrono::seconds(5)) {
            break; // nothing more is coming (a short file, or a stalled server)
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    if (auto tag = engine.metadataTag(stream))
        sayTitle(*tag);
    std::atomic<bool> ended{false};
    engine.onMetadata(stream, [](const audio::MetadataEvent& e) { sayTitle(e.tag); });
    engine.onEnd(stream, [&ended](const audio::EndEvent&) {
        say("end");
        ended.store(true);
        kill(getpid(), SIGUSR1);
    });

    if (!args.eq.empty()) {
        static const float kCentres[10] = {80, 170, 310, 600, 1000, 3000, 7000, 12000, 14000, 16000};
        for (int band = 0; band < 10; ++band) {
            auto fx = engine.addEffect(stream, audio::EffectType::ParametricEq, 1);
            engine.setParameters(
                fx, audio::EqBandParams{kCentres[band], 18.0f,
                                        static_cast<float>(15 - args.eq[static_cast<std::size_t>(band)])});
        }
        auto reverb = engine.addEffect(stream, audio::EffectType::Reverb, 1);
        audio::ReverbParams params;
        engine.getParameters(reverb, params);
        params.reverbMixDb = -96.0f;
        params.reverbTimeMs = 1500.0f;
        params.highFreqRtRatio = 0.1f;
        engine.setParameters(reverb, params);
    }

    tembrik::play::stamp("pre-buffer filled");
    engine.play(stream);
    engine.setVolume(stream, 1.0f);
    say("playing");
    if (args.timings) {
        // The mixer has taken the stream's first block once it counts as sounding.
        const auto until = Clock::now() + std::chrono::seconds(10);
        while (engine.status(stream) != audio::StreamStatus::Playing && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        tembrik::play::stamp("first block at the output");
    }

    const auto start = Clock::now();
    while (!g_interrupted.load() && !ended.load()) {
        if (args.seconds <= 0) {
            waitForSignal(std::chrono::duration<double>(-1));
            continue;
        }
        auto left = std::chrono::duration<double>(args.seconds) - (Clock::now() - start);
        if (left.count() <= 0)
            break;
        waitForSignal(left);
    }
    engine.free();
    return 0;
}
