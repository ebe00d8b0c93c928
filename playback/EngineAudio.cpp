// The program's main engine: the audio streaming library behind the AudioApi interface.
#include "AudioApi.h"

#include "tembrik/audio/Engine.h"

#include <atomic>

namespace playback {

namespace {

namespace ta = tembrik::audio;

ta::StreamHandle S(std::uint32_t h) {
    return ta::StreamHandle{h};
}
ta::EffectHandle E(std::uint32_t h) {
    return ta::EffectHandle{h};
}

class EngineAudio final : public AudioApi {
public:
    bool Init() override { return engine_.init(); }
    void Free() override { engine_.free(); }

    EngineOptions Options() const override {
        const ta::Options o = engine_.options();
        return {o.resolvePlaylists, o.playbackBufferMs, o.networkBufferMs, o.prebufferPercent,
                o.connectTimeoutMs, o.updateThreads,    o.userAgent,       o.proxy};
    }

    void SetOptions(const EngineOptions& o) override {
        ta::Options opts;
        opts.resolvePlaylists = o.resolvePlaylists;
        opts.playbackBufferMs = o.playbackBufferMs;
        opts.networkBufferMs = o.networkBufferMs;
        opts.prebufferPercent = o.prebufferPercent;
        opts.connectTimeoutMs = o.timeoutMs;
        opts.updateThreads = o.updateThreads;
        opts.userAgent = o.userAgent;
        opts.proxy = o.proxy;
        engine_.setOptions(opts);
    }

    std::uint32_t StreamCreateUrl(const std::string& url, DownloadRoutine download,
                                  std::string* error) override {
        ta::OpenResult r = engine_.openUrl(url, std::move(download));
        if (!r && error)
            *error = r.error.text();
        return r.stream.value;
    }
    bool StreamFree(std::uint32_t s) override { return engine_.freeStream(S(s)); }
    std::uint64_t StreamGetFilePosition(std::uint32_t s, FilePos mode) override {
        const ta::Position which = mode == FilePos::Current    ? ta::Position::Current
                                   : mode == FilePos::Download ? ta::Position::Download
                                                               : ta::Position::End;
        return engine_.filePosition(S(s), which);
    }
    bool ChannelPlay(std::uint32_t s) override { return engine_.play(S(s), false); }
    bool ChannelStop(std::uint32_t s) override { return engine_.stop(S(s)); }
    bool ChannelSetVolume(std::uint32_t s, float v) override { return engine_.setVolume(S(s), v); }
    std::optional<std::string> ChannelGetMetaTag(std::uint32_t s) override {
        return engine_.metadataTag(S(s));
    }
    bool ChannelSetMetaSync(std::uint32_t s, SyncRoutine routine) override {
        return engine_.onMetadata(S(s),
                                  [routine = std::move(routine)](const ta::MetadataEvent&) { routine(); });
    }
    bool ChannelSetEndSync(std::uint32_t s, SyncRoutine routine) override {
        return engine_.onEnd(S(s), [routine = std::move(routine)](const ta::EndEvent&) { routine(); });
    }
    std::uint32_t ChannelSetFX(std::uint32_t s, FxType type) override {
        return engine_
            .addEffect(S(s), type == FxType::ParamEq ? ta::EffectType::ParametricEq : ta::EffectType::Reverb,
                       1)
            .value;
    }
    bool FXGetParameters(std::uint32_t fx, EqRecord& r) override {
        ta::EqBandParams p;
        if (!engine_.getParameters(E(fx), p))
            return false;
        r = {p.centerHz, p.bandwidthSemitones, p.gainDb};
        return true;
    }
    bool FXSetParameters(std::uint32_t fx, const EqRecord& r) override {
        return engine_.setParameters(E(fx), ta::EqBandParams{r.Center, r.Bandwidth, r.Gain});
    }
    bool FXGetParameters(std::uint32_t fx, ReverbRecord& r) override {
        ta::ReverbParams p;
        if (!engine_.getParameters(E(fx), p))
            return false;
        r = {p.inputGainDb, p.reverbMixDb, p.reverbTimeMs, p.highFreqRtRatio};
        return true;
    }
    bool FXSetParameters(std::uint32_t fx, const ReverbRecord& r) override {
        return engine_.setParameters(
            E(fx), ta::ReverbParams{r.InGain, r.ReverbMix, r.ReverbTime, r.HighFreqRTRatio});
    }

private:
    ta::Engine engine_;
};

std::atomic<AudioApi*> testing{nullptr};

} // namespace

AudioApi& Audio() {
    if (AudioApi* t = testing.load())
        return *t;
    static EngineAudio engine;
    return engine;
}

void SetAudioForTesting(AudioApi* api) {
    testing = api;
}

} // namespace playback
