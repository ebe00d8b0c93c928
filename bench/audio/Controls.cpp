// bench_audio_controls URL: plays URL on the default output and, once it has played a few seconds,
// changes its volume, mutes, unmutes and stops it, a second and a half apart. Before each call it
// prints one line "WHAT SECONDS" (the monotonic clock, as Python's time.monotonic() reads it), so
// that bench/audio/controls.py can find in the sink's recording when each change was heard.
#include <chrono>
#include <cstdio>
#include <thread>

#include "tembrik/audio/Engine.h"

namespace {

using namespace std::chrono_literals;
namespace audio = tembrik::audio;

void say(const char* what) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%s %.6f\n", what, std::chrono::duration<double>(now).count());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_audio_controls URL\n");
        return 2;
    }
    audio::Engine engine;
    if (!engine.init()) {
        std::fprintf(stderr, "no output: %s\n", engine.initError().c_str());
        return 1;
    }
    auto opened = engine.openUrl(argv[1]);
    if (!opened) {
        std::fprintf(stderr, "cannot open: %s\n", opened.error.text().c_str());
        return 1;
    }
    engine.play(opened.stream);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (engine.status(opened.stream) != audio::StreamStatus::Playing &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(3s);
    const struct {
        const char* what;
        float volume;
    } steps[] = {{"volume", 0.25f}, {"mute", 0.0f}, {"unmute", 1.0f}};
    for (const auto& step : steps) {
        say(step.what);
        engine.setVolume(opened.stream, step.volume);
        std::this_thread::sleep_for(1500ms);
    }
    say("stop");
    engine.stop(opened.stream);
    std::this_thread::sleep_for(1500ms);
    engine.free();
    return 0;
}
