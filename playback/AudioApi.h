#pragma once
// The calls the program makes on its main audio engine, as one interface: the real engine stands
// behind it in the program, a scripted one in tests of the worker and the equalizer chain.
// Handles are plain 32-bit values as the program stores them; 0 is none, and every call on a
// zero, freed or stale handle fails without effect.
#include "app/EffectRecords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace playback {

enum class FilePos { Current, Download, End };
inline constexpr std::uint64_t FilePosFailed = ~std::uint64_t{0};
enum class FxType { ParamEq, Reverb };

struct EngineOptions {
    bool resolvePlaylists = true;
    int playbackBufferMs = 500;
    int networkBufferMs = 5000;
    int prebufferPercent = 75;
    int timeoutMs = 5000;
    int updateThreads = 1;
    std::string userAgent;
    std::string proxy; // empty: none
};

using DownloadRoutine = std::function<void(const char* buffer, std::size_t length)>;
using SyncRoutine = std::function<void()>;

class AudioApi {
public:
    virtual ~AudioApi() = default;

    virtual bool Init() = 0;
    virtual void Free() = 0;
    virtual EngineOptions Options() const = 0;
    virtual void SetOptions(const EngineOptions& options) = 0;

    // Blocks until the stream is ready to play or failed; 0 on failure, with the reason in *error.
    virtual std::uint32_t StreamCreateUrl(const std::string& url, DownloadRoutine download,
                                          std::string* error) = 0;
    virtual bool StreamFree(std::uint32_t stream) = 0;
    virtual std::uint64_t StreamGetFilePosition(std::uint32_t stream, FilePos mode) = 0;
    virtual bool ChannelPlay(std::uint32_t stream) = 0;
    virtual bool ChannelStop(std::uint32_t stream) = 0;
    virtual bool ChannelSetVolume(std::uint32_t stream, float volume) = 0;
    virtual std::optional<std::string> ChannelGetMetaTag(std::uint32_t stream) = 0;
    virtual bool ChannelSetMetaSync(std::uint32_t stream, SyncRoutine routine) = 0;
    virtual bool ChannelSetEndSync(std::uint32_t stream, SyncRoutine routine) = 0;
    virtual std::uint32_t ChannelSetFX(std::uint32_t stream, FxType type) = 0;
    virtual bool FXGetParameters(std::uint32_t fx, EqRecord& record) = 0;
    virtual bool FXSetParameters(std::uint32_t fx, const EqRecord& record) = 0;
    virtual bool FXGetParameters(std::uint32_t fx, ReverbRecord& record) = 0;
    virtual bool FXSetParameters(std::uint32_t fx, const ReverbRecord& record) = 0;
};

// The program's engine. Tests install their own before the windows are created.
AudioApi& Audio();
void SetAudioForTesting(AudioApi* api); // nullptr: back to the real engine

} // namespace playback
