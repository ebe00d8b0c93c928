#include "EngineSetup.h"

#include "AudioApi.h"

namespace playback {

namespace {
constexpr int ReinitAttempts = 3;
}

bool InitEngine() {
    return Audio().Init();
}

void FreeEngine() {
    Audio().Free();
}

void ConfigureEngine(int bufferMs) {
    AudioApi& audio = Audio();
    // One option at a time, in the order the engine has always been set up.
    auto set = [&audio](auto change) {
        EngineOptions o = audio.Options();
        change(o);
        audio.SetOptions(o);
    };
    set([](EngineOptions& o) { o.resolvePlaylists = true; });
    set([](EngineOptions& o) { o.playbackBufferMs = 500; });
    set([bufferMs](EngineOptions& o) { o.networkBufferMs = bufferMs; });
    set([](EngineOptions& o) { o.prebufferPercent = 100; });
    set([](EngineOptions& o) { o.timeoutMs = 17000; });
    set([](EngineOptions& o) { o.updateThreads = 4; });
}

void HandOverNetworkTexts(const char* agent, const char* proxy) {
    AudioApi& audio = Audio();
    EngineOptions o = audio.Options();
    if (proxy) {
        o.proxy = proxy;
        audio.SetOptions(o);
    }
    o.userAgent = agent;
    audio.SetOptions(o);
}

bool ReinitEngine() {
    AudioApi& audio = Audio();
    for (int attempt = 0; attempt < ReinitAttempts; ++attempt) {
        // Free drops the options too; what was handed over at start-up stays in force.
        const EngineOptions kept = audio.Options();
        audio.Free();
        if (audio.Init()) {
            EngineOptions o = kept;
            o.resolvePlaylists = true;
            o.prebufferPercent = 0;
            audio.SetOptions(o);
            return true;
        }
    }
    return false;
}

} // namespace playback
