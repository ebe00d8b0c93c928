#pragma once

#include <cstdint>
#include <variant>

namespace tembrik::mediaplayer::detail {

// Why the player cannot play; each has its own text in the status line.
enum class Failure {
    None,
    LoadingFailed,      // the address did not answer or answered with an error
    UnsupportedFormat,  // no demuxer or decoder for what came back
    NothingToPlay,      // the stream holds no audio
    AudioOutputFailed,  // the sound server or device refused us
    EmptyPlaylist,      // a playlist file without a single playable entry
    UnsupportedAddress, // an address scheme we do not open (local files, descriptors, scripts)
    EngineUnavailable,  // libmpv could not be created or initialised
    Other,
};

enum class EndReason { Eof, Stop, Quit, Error, Redirect };

// What the player's owner did. The generation tells a load's reply from an older one's.
struct LoadRequested {
    std::uint64_t generation = 0;
};
struct StopRequested {};

// libmpv accepted or refused the load of that generation; entryId is the new playlist entry's id.
struct LoadAccepted {
    std::uint64_t generation = 0;
    std::int64_t entryId = 0;
};
struct LoadRejected {
    std::uint64_t generation = 0;
    Failure failure = Failure::Other;
};

// Playlist entry life cycle. libmpv numbers entries upwards, so every entry of our load (including
// those a playlist file expands into) has an id at or above the id the load was accepted with.
struct FileStarted {
    std::int64_t entryId = 0;
};
struct FileLoaded {};
struct FileEnded {
    std::int64_t entryId = 0;
    EndReason reason = EndReason::Eof;
    Failure failure = Failure::None;
    int insertedEntries = 0; // with EndReason::Redirect: how many entries the playlist file held
};

// libmpv has nothing left to play.
struct IdleChanged {
    bool idle = false;
};

// Property values of the entry now playing.
struct CoreIdleChanged {
    bool idle = true;
};
struct PausedForCacheChanged {
    bool paused = false;
};
struct BufferingChanged {
    int percent = 0;
};
struct StationBitrateChanged { // the station's declared bitrate (icy-br), 0 when not declared
    int kbps = 0;
};
struct DemuxerBitrateChanged { // the container's nominal bitrate, 0 when unknown
    std::int64_t bitsPerSecond = 0;
};
struct MeasuredBitrateChanged { // measured over the last second of packets, 0 when unknown
    double bitsPerSecond = 0;
};

using PlayerEvent =
    std::variant<LoadRequested, StopRequested, LoadAccepted, LoadRejected, FileStarted, FileLoaded, FileEnded,
                 IdleChanged, CoreIdleChanged, PausedForCacheChanged, BufferingChanged, StationBitrateChanged,
                 DemuxerBitrateChanged, MeasuredBitrateChanged>;

} // namespace tembrik::mediaplayer::detail
