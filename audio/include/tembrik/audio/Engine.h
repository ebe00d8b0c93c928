// The audio streaming library: internet radio from URL to speaker.
//
//   source/ (HTTP/HTTPS, ICY, playlists, stream-metadata demux) -> decode/ (libmpg123, FFmpeg) ->
//   fx/ (equalizer bands, reverb) -> mix/ (volume, mixing) -> out/ (PulseAudio, or a null back-end)
//
// No Qt here, and nothing of the program: the library is configured by the plain structs below.
//
// Threads and safety
//   * Every member function of Engine may be called from any thread, at any time, also from inside
//     the library's own callbacks (a download routine may free its own stream, an end event may open
//     a new one).
//   * Streams and effects are named by 32-bit handles that carry a generation. A call on a zero,
//     freed or stale handle (also one from before a free()/init() cycle) fails and changes nothing.
//   * Callbacks run on the library's own threads: the download routine on the stream's download
//     thread, metadata and end events on the engine's event thread (one at a time, in order). They
//     are never called while the library holds a lock, so they may call back into the engine.
//     free() and ~Engine() wait for the library's threads, except those busy inside a callback of
//     yours: those finish on their own when the callback returns, and call nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tembrik::audio {

// ---------------------------------------------------------------------------------------------
// Handles

// A stream: 0 means none. Bits: [31] 0, [30..12] generation (never 0), [11..0] slot.
struct StreamHandle {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(StreamHandle, StreamHandle) = default;
};

// An effect on a stream: 0 means none. Bits: [31] 1, [30..12] generation, [11..0] slot.
struct EffectHandle {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(EffectHandle, EffectHandle) = default;
};

// ---------------------------------------------------------------------------------------------
// Configuration

enum class OutputBackend {
    PulseAudio, // the default output device of the sound server (works with PipeWire's pulse server)
    Null,       // no sound device: paced by a clock, every rendered block handed to `capture` (tests)
};

// Given to init(). The output is always 32-bit float, stereo, interleaved.
struct EngineConfig {
    int sampleRate = 44100;                            // output rate, Hz
    OutputBackend backend = OutputBackend::PulseAudio; // where the mix goes
    std::string applicationName = "Tembrik";           // the client name the sound server shows
    std::string server;          // PulseAudio server address; empty: the default (PULSE_SERVER, session)
    std::string sinkName;        // PulseAudio sink; empty: the server's default device
    int connectTimeoutMs = 3000; // how long init() waits for the sound server before failing
    double nullSpeed = 1.0;      // Null back-end: speed relative to real time (4.0 = four times)
    // Null back-end: receives every rendered block (interleaved stereo floats) on the output thread.
    // Keep it short; it must not call into the engine.
    std::function<void(std::span<const float>)> capture;
};

// Options for streams opened later (setOptions() never changes a stream already open).
struct Options {
    bool resolvePlaylists =
        true;                   // an address answering with M3U/PLS/ASX/XSPF plays its first entry that opens
    int playbackBufferMs = 500; // decoded audio kept ready per stream, ms (100..5000)
    int networkBufferMs = 5000; // network buffer, ms of audio at the stream's bit rate (at least 500)
    int prebufferPercent = 75; // percent of the network buffer filled before a playing stream sounds (0..100)
    int connectTimeoutMs = 5000;           // connection and response time-out, ms (at least 100)
    int updateThreads = 1;                 // accepted for compatibility; the library uses what serves
    std::string userAgent = "Tembrik/2.1"; // User-Agent text sent with every request; empty: none
    // false: a title is announced (and metadataTag() changes) when playback reaches the place in the
    // stream where its metadata block (or Ogg comment set) came, so it changes with the sound.
    // true: as soon as the block arrives, ahead of its audio by up to the network buffer.
    bool immediateMetadata = false;
    // Proxy: "host:port", "user:pass@host:port", or with a scheme such as "http://" or "socks5://".
    // Empty: no proxy (direct connection; proxy environment variables are ignored).
    std::string proxy;
};

// ---------------------------------------------------------------------------------------------
// Opening streams

enum class OpenErrorKind {
    None,
    NotInitialised,  // init() has not succeeded, or free() ran
    BadAddress,      // not an http:// or https:// address
    Refused,         // the connection could not be made (refused, no route, unknown host, TLS)
    Timeout,         // no connection, no answer or no audio within the connection time-out
    HttpStatus,      // the server answered with an error status (see httpStatus)
    NotAudio,        // the answer is no audio format the decoder knows (or an HLS playlist)
    NoPlayableEntry, // a playlist none of whose entries opened (detail names the last reason)
    Network,         // the connection broke while opening
    Aborted,         // free() ran while opening
    TooManyStreams,  // no free stream slot
    MissingDecoder,  // the format's decoder module is not installed (detail says which)
};

struct OpenError {
    OpenErrorKind kind = OpenErrorKind::None;
    int httpStatus = 0;       // with HttpStatus: the status code, e.g. 404
    std::string detail;       // human-readable detail, English
    std::string text() const; // short reason, e.g. "HTTP 404", "time-out", "not audio: ..."
};

struct OpenResult {
    StreamHandle stream; // 0 on failure
    OpenError error;     // kind None on success
    explicit operator bool() const { return static_cast<bool>(stream); }
};

// The download routine, called on the stream's download thread, in this order:
//   1. once, with buffer = the server's response header text (status line and header lines,
//      each ended by "\r\n", NUL-terminated) and length 0;
//   2. for every block of audio bytes, exactly as the server sent them but with the stream's
//      metadata blocks removed: buffer and length > 0 (concatenated, they give a file that plays);
//   3. once, with buffer = nullptr and length 0, when the download has ended (server closed,
//      error, or the stream was freed).
// Only streams that opened get these calls. The routine may call into the engine, also freeStream()
// on its own stream.
using DownloadCallback = std::function<void(const char* buffer, std::size_t length)>;

// ---------------------------------------------------------------------------------------------
// Positions, status

enum class Position {
    Current,  // bytes of the stream consumed by the decoder
    Download, // bytes received (without metadata blocks)
    End,      // length of a stream of known length; otherwise the network buffer's size in bytes, so
              // that (Download - Current) * 100 / End is the buffer fill in percent
};
inline constexpr std::uint64_t kPositionFailed = ~std::uint64_t{0}; // all ones: bad handle

enum class StreamStatus {
    Invalid,   // zero, freed or stale handle
    Stopped,   // not playing (never started, or stop())
    Playing,   // playing and sounding
    Buffering, // playing, but waiting for the pre-buffer (or starved): it plays silence meanwhile
    Ended,     // the stream ended and its audio has played out
};

// ---------------------------------------------------------------------------------------------
// Events (on the engine's event thread)

struct MetadataEvent {
    StreamHandle stream;
    std::string tag; // the new tag text, as metadataTag() gives it
};

struct EndEvent {
    StreamHandle stream;
};

using MetadataCallback = std::function<void(const MetadataEvent&)>;
using EndCallback = std::function<void(const EndEvent&)>;

// ---------------------------------------------------------------------------------------------
// Effects

enum class EffectType {
    ParametricEq, // one peaking equalizer band (DirectX 8 parametric equalizer)
    Reverb,       // reverb (DirectX 8 reverb)
};

// Layout of the DirectX 8 parametric equalizer's record: three 32-bit floats in this order.
// Values outside the ranges are clamped.
struct EqBandParams {
    float centerHz = 8000.0f;         // 80 .. 16000 (and below half the output rate)
    float bandwidthSemitones = 12.0f; // 1 .. 36
    float gainDb = 0.0f;              // -15 .. +15
};

// Layout of the DirectX 8 reverb's record: four 32-bit floats in this order. Clamped likewise.
// At a mix of -96 dB the reverb is inaudible and costs next to nothing.
struct ReverbParams {
    float inputGainDb = 0.0f;       // -96 .. 0
    float reverbMixDb = 0.0f;       // -96 .. 0
    float reverbTimeMs = 1000.0f;   // 0.001 .. 3000
    float highFreqRtRatio = 0.001f; // 0.001 .. 0.999
};

static_assert(sizeof(EqBandParams) == 3 * sizeof(float));
static_assert(sizeof(ReverbParams) == 4 * sizeof(float));

// ---------------------------------------------------------------------------------------------

namespace detail {
class EngineCore;
}

class Engine {
public:
    Engine();
    ~Engine(); // free()
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Life cycle. init() opens the output (by default the default device at 44100 Hz) and returns
    // true when it is ready; false with initError() when no sound server can be reached (or when
    // already initialised). free() frees every stream and effect and closes the output; handles from
    // before stay invalid forever. init() may be called again after free().
    bool init(const EngineConfig& config = {});
    void free();
    bool initialised() const;
    std::string initError() const;

    // Options for streams opened later.
    void setOptions(const Options& options);
    Options options() const;

    // Opens an http:// or https:// address. Blocks until the connection is up and the format is known
    // (a first block decoded), or until it fails (time-out as in Options). The stream is not playing.
    OpenResult openUrl(std::string_view url, DownloadCallback onDownload = {});

    // Playback. play() starts or resumes (restart is accepted; a network stream cannot rewind).
    // stop() silences the stream, which stays (its download continues until its buffer is full).
    // freeStream() frees it and its effects at once; its download routine gets its end call.
    bool play(StreamHandle stream, bool restart = false);
    bool stop(StreamHandle stream);
    bool freeStream(StreamHandle stream);
    bool setVolume(StreamHandle stream, float volume); // 0.0 .. 1.0, linear amplitude, clamped
    std::optional<float> volume(StreamHandle stream) const;
    StreamStatus status(StreamHandle stream) const;

    // Byte positions (kPositionFailed for a bad handle).
    std::uint64_t filePosition(StreamHandle stream, Position which) const;

    // The tag text of the latest stream-metadata block heard (see Options::immediateMetadata), exactly as
    // sent, e.g. "StreamTitle='Artist - Song';StreamUrl='';" (for Ogg streams built from the Vorbis/Opus
    // comments as "StreamTitle='ARTIST - TITLE';"); nullopt before the first one or for a bad handle.
    std::optional<std::string> metadataTag(StreamHandle stream) const;

    // Notifications on the event thread: metadata for each non-empty metadata block (or Ogg comment
    // set) when its place in the stream is heard (or when it arrives: Options::immediateMetadata);
    // end once when the stream has ended and its audio has played out.
    // Several callbacks may be registered; false for a bad handle.
    bool onMetadata(StreamHandle stream, MetadataCallback callback);
    bool onEnd(StreamHandle stream, EndCallback callback);

    // Effects, run in order of priority (higher first), equal priorities in the order added.
    // A parameter change is heard within 150 ms. Effects go with their stream.
    EffectHandle addEffect(StreamHandle stream, EffectType type, int priority = 1);
    bool removeEffect(EffectHandle effect);
    bool getParameters(EffectHandle effect, EqBandParams& out) const; // false for a reverb handle
    bool setParameters(EffectHandle effect, const EqBandParams& params);
    bool getParameters(EffectHandle effect, ReverbParams& out) const; // false for an EQ handle
    bool setParameters(EffectHandle effect, const ReverbParams& params);

private:
    std::shared_ptr<detail::EngineCore> core_;
};

} // namespace tembrik::audio
