#pragma once
// A scripted main engine: streams open at once (or fail), file positions follow a script of buffer
// fills, and every call that changes something is recorded for the test to check.
#include "playback/AudioApi.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeAudio : public playback::AudioApi {
public:
    static constexpr std::uint64_t BufferBytes = 1000;

    // Script for the next stream opened: the fills (percent) that successive buffering passes
    // see; an entry of -1000 makes the end-position query fail, -2000 makes it answer 0.
    std::deque<int> fills;
    bool failOpen = false;
    std::optional<std::string> tag;

    struct Fx {
        std::uint32_t stream;
        playback::FxType type;
        EqRecord eq;
        ReverbRecord reverb{0, 0, 1000, 0.001f};
        std::vector<float> gainsSet;
    };

    std::mutex mutex;
    std::vector<std::string> calls; // "open URL", "free N", "play N", "stop N", "volume N V"
    std::vector<playback::EngineOptions> optionHistory;
    std::map<std::uint32_t, Fx> effects;
    std::map<std::uint32_t, playback::SyncRoutine> endSyncs;
    std::map<std::uint32_t, playback::DownloadRoutine> downloads; // each stream's download routine
    std::vector<std::string> openedUrls;
    bool initResult = true;
    int inits = 0;
    int frees = 0;

    bool Init() override {
        std::lock_guard l(mutex);
        ++inits;
        return initResult;
    }
    void Free() override {
        std::lock_guard l(mutex);
        ++frees;
    }
    playback::EngineOptions Options() const override {
        std::lock_guard l(const_cast<std::mutex&>(mutex));
        return options_;
    }
    void SetOptions(const playback::EngineOptions& o) override {
        std::lock_guard l(mutex);
        options_ = o;
        optionHistory.push_back(o);
    }
    std::uint32_t StreamCreateUrl(const std::string& url, playback::DownloadRoutine download,
                                  std::string* error) override {
        std::lock_guard l(mutex);
        openedUrls.push_back(url);
        calls.push_back("open " + url);
        if (failOpen) {
            if (error)
                *error = "refused";
            return 0;
        }
        const std::uint32_t s = ++nextStream_;
        streamFills_[s] = fills;
        downloads[s] = std::move(download);
        return s;
    }
    bool StreamFree(std::uint32_t s) override { return record("free", s); }
    std::uint64_t StreamGetFilePosition(std::uint32_t s, playback::FilePos mode) override {
        std::lock_guard l(mutex);
        auto& script = streamFills_[s];
        if (mode == playback::FilePos::End) {
            if (script.empty())
                return playback::FilePosFailed;
            current_ = script.front();
            script.pop_front();
            if (current_ == -1000)
                return playback::FilePosFailed;
            if (current_ == -2000)
                return 0;
            return BufferBytes;
        }
        // Download minus current gives the scripted fill of the buffer.
        return mode == playback::FilePos::Download
                   ? 100000 + static_cast<std::int64_t>(current_) * BufferBytes / 100
                   : 100000;
    }
    bool ChannelPlay(std::uint32_t s) override { return record("play", s); }
    bool ChannelStop(std::uint32_t s) override { return record("stop", s); }
    bool ChannelSetVolume(std::uint32_t s, float v) override {
        std::lock_guard l(mutex);
        calls.push_back("volume " + std::to_string(s) + " " + std::to_string(v).substr(0, 4));
        return s != 0;
    }
    std::optional<std::string> ChannelGetMetaTag(std::uint32_t s) override {
        std::lock_guard l(mutex);
        return s ? tag : std::nullopt;
    }
    bool ChannelSetMetaSync(std::uint32_t, playback::SyncRoutine) override { return true; }
    bool ChannelSetEndSync(std::uint32_t s, playback::SyncRoutine r) override {
        std::lock_guard l(mutex);
        endSyncs[s] = std::move(r);
        return true;
    }
    std::uint32_t ChannelSetFX(std::uint32_t s, playback::FxType type) override {
        std::lock_guard l(mutex);
        if (s == 0)
            return 0;
        const std::uint32_t fx = 0x80000000u + (++nextFx_);
        effects[fx] = Fx{s, type, {}, {}, {}};
        return fx;
    }
    bool FXGetParameters(std::uint32_t fx, EqRecord& r) override {
        std::lock_guard l(mutex);
        auto it = effects.find(fx);
        if (it == effects.end())
            return false;
        r = it->second.eq;
        return true;
    }
    bool FXSetParameters(std::uint32_t fx, const EqRecord& r) override {
        std::lock_guard l(mutex);
        auto it = effects.find(fx);
        if (it == effects.end())
            return false;
        if (it->second.eq.Center != 0)
            it->second.gainsSet.push_back(r.Gain);
        it->second.eq = r;
        return true;
    }
    bool FXGetParameters(std::uint32_t fx, ReverbRecord& r) override {
        std::lock_guard l(mutex);
        auto it = effects.find(fx);
        if (it == effects.end())
            return false;
        r = it->second.reverb;
        return true;
    }
    bool FXSetParameters(std::uint32_t fx, const ReverbRecord& r) override {
        std::lock_guard l(mutex);
        auto it = effects.find(fx);
        if (it == effects.end())
            return false;
        it->second.reverb = r;
        return true;
    }

    // One call of stream s's download routine, as the engine's download thread makes it: a header
    // text with length 0, a block, or the end (buffer null).
    void Download(std::uint32_t s, const char* buffer, std::size_t length) {
        playback::DownloadRoutine routine;
        {
            std::lock_guard l(mutex);
            routine = downloads[s];
        }
        if (routine)
            routine(buffer, length);
    }
    void Download(std::uint32_t s, const std::string& block) { Download(s, block.data(), block.size()); }

    bool called(const std::string& call) {
        std::lock_guard l(mutex);
        for (const auto& c : calls)
            if (c == call)
                return true;
        return false;
    }

private:
    bool record(const char* what, std::uint32_t s) {
        std::lock_guard l(mutex);
        calls.push_back(std::string(what) + " " + std::to_string(s));
        return s != 0;
    }

    playback::EngineOptions options_;
    std::uint32_t nextStream_ = 0;
    std::uint32_t nextFx_ = 0;
    std::map<std::uint32_t, std::deque<int>> streamFills_;
    int current_ = 0;
};
