#include "MpvEvents.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

namespace tembrik::mediaplayer::detail {

namespace {

constexpr std::array<PropertySubscription, 7> kObserved{{
    {ObservedProperty::Idle, "idle-active", MPV_FORMAT_FLAG},
    {ObservedProperty::CoreIdle, "core-idle", MPV_FORMAT_FLAG},
    {ObservedProperty::PausedForCache, "paused-for-cache", MPV_FORMAT_FLAG},
    {ObservedProperty::Buffering, "cache-buffering-state", MPV_FORMAT_INT64},
    {ObservedProperty::Metadata, "metadata", MPV_FORMAT_NODE},
    {ObservedProperty::MeasuredBitrate, "audio-bitrate", MPV_FORMAT_DOUBLE},
    {ObservedProperty::DemuxerBitrate, "current-tracks/audio/demux-bitrate", MPV_FORMAT_INT64},
}};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Highest bitrate a station may declare before we treat the header as garbage.
constexpr int kMaxDeclaredKbps = 10000;

EndReason endReasonFrom(mpv_end_file_reason reason) {
    switch (reason) {
    case MPV_END_FILE_REASON_EOF:
        return EndReason::Eof;
    case MPV_END_FILE_REASON_STOP:
        return EndReason::Stop;
    case MPV_END_FILE_REASON_QUIT:
        return EndReason::Quit;
    case MPV_END_FILE_REASON_ERROR:
        return EndReason::Error;
    case MPV_END_FILE_REASON_REDIRECT:
        return EndReason::Redirect;
    }
    return EndReason::Error;
}

std::int64_t entryIdFromLoadReply(const mpv_node& result) {
    if (result.format == MPV_FORMAT_NODE_MAP && result.u.list != nullptr) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const mpv_node& value = result.u.list->values[i];
            if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
                value.format == MPV_FORMAT_INT64) {
                return value.u.int64;
            }
        }
    }
    // A libmpv that does not name the new entry: every entry counts as ours, so only the
    // generation check guards against stale events.
    return 1;
}

std::optional<PlayerEvent> translateProperty(const mpv_event_property& property, std::uint64_t id) {
    const bool present = property.format != MPV_FORMAT_NONE && property.data != nullptr;
    switch (static_cast<ObservedProperty>(id)) {
    case ObservedProperty::Idle:
        return IdleChanged{present && *static_cast<const int*>(property.data) != 0};
    case ObservedProperty::CoreIdle:
        return CoreIdleChanged{!present || *static_cast<const int*>(property.data) != 0};
    case ObservedProperty::PausedForCache:
        return PausedForCacheChanged{present && *static_cast<const int*>(property.data) != 0};
    case ObservedProperty::Buffering:
        return BufferingChanged{present ? static_cast<int>(*static_cast<const std::int64_t*>(property.data))
                                        : 0};
    case ObservedProperty::Metadata:
        return StationBitrateChanged{
            present ? stationKbpsFromMetadata(*static_cast<const mpv_node*>(property.data)) : 0};
    case ObservedProperty::MeasuredBitrate:
        return MeasuredBitrateChanged{present ? *static_cast<const double*>(property.data) : 0.0};
    case ObservedProperty::DemuxerBitrate:
        return DemuxerBitrateChanged{present ? *static_cast<const std::int64_t*>(property.data) : 0};
    }
    return std::nullopt;
}

} // namespace

std::span<const PropertySubscription> observedProperties() {
    return kObserved;
}

Failure failureFromMpvError(int error) {
    switch (error) {
    case MPV_ERROR_SUCCESS:
        return Failure::None;
    case MPV_ERROR_LOADING_FAILED:
        return Failure::LoadingFailed;
    case MPV_ERROR_UNKNOWN_FORMAT:
    case MPV_ERROR_UNSUPPORTED:
        return Failure::UnsupportedFormat;
    case MPV_ERROR_NOTHING_TO_PLAY:
        return Failure::NothingToPlay;
    case MPV_ERROR_AO_INIT_FAILED:
        return Failure::AudioOutputFailed;
    case MPV_ERROR_UNINITIALIZED:
        return Failure::EngineUnavailable;
    default:
        return Failure::Other;
    }
}

int stationKbpsFromMetadata(const mpv_node& metadata) {
    if (metadata.format != MPV_FORMAT_NODE_MAP || metadata.u.list == nullptr) {
        return 0;
    }
    for (int i = 0; i < metadata.u.list->num; ++i) {
        const mpv_node& value = metadata.u.list->values[i];
        if (!equalsIgnoringCase(metadata.u.list->keys[i], "icy-br") || value.format != MPV_FORMAT_STRING) {
            continue;
        }
        // Some servers repeat the figure ("128,128") or pad it; the leading number is the bitrate.
        std::string_view text(value.u.string);
        while (!text.empty() && text.front() == ' ') {
            text.remove_prefix(1);
        }
        int kbps = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), kbps);
        if (error != std::errc{} || end == text.data() || kbps <= 0 || kbps > kMaxDeclaredKbps) {
            return 0;
        }
        return kbps;
    }
    return 0;
}

std::optional<PlayerEvent> translateEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        return FileStarted{static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id};
    case MPV_EVENT_FILE_LOADED:
        return FileLoaded{};
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        return FileEnded{end->playlist_entry_id, endReasonFrom(end->reason), failureFromMpvError(end->error),
                         end->playlist_insert_num_entries};
    }
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata == kUntrackedReply) {
            return std::nullopt;
        }
        if (event.error < 0) {
            return LoadRejected{event.reply_userdata, failureFromMpvError(event.error)};
        }
        const auto* reply = static_cast<const mpv_event_command*>(event.data);
        return LoadAccepted{event.reply_userdata, entryIdFromLoadReply(reply->result)};
    }
    case MPV_EVENT_PROPERTY_CHANGE:
        return translateProperty(*static_cast<const mpv_event_property*>(event.data), event.reply_userdata);
    default:
        return std::nullopt;
    }
}

} // namespace tembrik::mediaplayer::detail
