#pragma once

#include "PlayerEvent.h"

#include <mpv/client.h>

#include <cstdint>
#include <optional>
#include <span>

namespace tembrik::mediaplayer::detail {

// The properties the player observes, by the reply id libmpv hands back with each change.
enum class ObservedProperty : std::uint64_t {
    Idle = 1,
    CoreIdle,
    PausedForCache,
    Buffering,
    Metadata,
    MeasuredBitrate,
    DemuxerBitrate,
};

struct PropertySubscription {
    ObservedProperty id;
    const char* name;
    mpv_format format;
};

// Every observed property. The player subscribes to them again whenever an entry starts: a new
// subscription always reports the current value, whereas a value that changed and changed back
// between two drains is never reported, and the status needs each entry's own values.
std::span<const PropertySubscription> observedProperties();

// Command replies with this user data or below are not loads; a load's reply carries its generation.
inline constexpr std::uint64_t kUntrackedReply = 0;

// Turns one libmpv event into the typed event the status composer takes, or nothing for events it
// does not need. Log messages are not translated.
std::optional<PlayerEvent> translateEvent(const mpv_event& event);

Failure failureFromMpvError(int error);

// The station's declared bitrate from the "icy-br" entry of libmpv's metadata map, 0 when absent.
int stationKbpsFromMetadata(const mpv_node& metadata);

} // namespace tembrik::mediaplayer::detail
