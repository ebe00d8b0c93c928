#pragma once

#include "MeasuredBitrate.h"
#include "PlayerEvent.h"
#include "tembrik/mediaplayer/PlayState.h"

#include <QString>
#include <cstdint>

namespace tembrik::mediaplayer::detail {

// Composes the play state and the status line, in the wording of a desktop media player, from the
// owner's commands and libmpv's events and properties. Pure logic: no libmpv, no threads. Events
// belonging to an entry of an earlier load are dropped by generation and entry id.
class StatusComposer {
public:
    void apply(const PlayerEvent& event);

    PlayState playState() const;
    QString text() const;

    // The ids of a load's own entries start here; 0 while no load has been accepted.
    std::int64_t firstEntryId() const { return firstEntryId_; }

    static QString failureText(Failure failure);

private:
    enum class Phase { Idle, Connecting, Buffering, Playing, Stopped, Ended, Failed };

    void on(const LoadRequested& e);
    void on(const StopRequested& e);
    void on(const LoadAccepted& e);
    void on(const LoadRejected& e);
    void on(const FileStarted& e);
    void on(const FileLoaded& e);
    void on(const FileEnded& e);
    void on(const IdleChanged& e);
    void on(const CoreIdleChanged& e);
    void on(const PausedForCacheChanged& e);
    void on(const BufferingChanged& e);
    void on(const StationBitrateChanged& e);
    void on(const DemuxerBitrateChanged& e);
    void on(const MeasuredBitrateChanged& e);

    bool isOurs(std::int64_t entryId) const;
    bool tracksEntry() const;
    bool isActive() const;
    void startEntry();
    void settle();
    int shownKbps() const;

    Phase phase_ = Phase::Idle;
    Failure failure_ = Failure::None;

    // The load in progress: its generation, whether libmpv has answered it, and its first entry id.
    std::uint64_t generation_ = 0;
    bool awaitingReply_ = false;
    std::int64_t firstEntryId_ = 0;
    // An entry that started before its load's reply was seen.
    std::int64_t startedWhileAwaiting_ = 0;

    // The entry now playing is one of ours and libmpv has reported its start.
    bool entryStarted_ = false;
    bool loaded_ = false;
    bool coreIdle_ = true;
    bool pausedForCache_ = false;
    int bufferingPercent_ = 0;
    int stationKbps_ = 0;
    std::int64_t demuxerBitsPerSecond_ = 0;
    MeasuredBitrate measured_;
};

} // namespace tembrik::mediaplayer::detail
