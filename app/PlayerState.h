#pragma once
// The one process-wide record of playback, recording, settings, equalizer, list and import state.
// Most fields belong to the GUI thread. Fields that stream workers or the audio library's threads
// also touch are atomic or guarded, and say so beside them.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "app/EffectRecords.h"

class QObject;

// A text shared between the GUI thread and worker threads.
class SharedText {
public:
    std::string get() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void set(std::string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }

private:
    mutable std::mutex mutex_;
    std::string text_; // guarded by mutex_
};

constexpr int MaxStations = 1000;
constexpr int EqualizerBandCount = 10;
constexpr std::size_t NetTextSize = 200;

struct PlayerState {
    // Playback.
    std::atomic<std::uint32_t> StreamHandle{0};    // written by stream workers, read by everyone
    std::atomic<QObject*> StatusReceiver{nullptr}; // target of status reports from any thread
    SharedText CurrentUrl;           // written on the GUI thread; read by workers and the end notification
    SharedText UseSecondPlayer;      // "1" = second media player; as CurrentUrl
    std::int32_t CurrentStation = 0; // GUI thread

    // Recording. RecordState moves 0 -> 1 on the GUI thread, 1 -> 2 -> 0 on the audio library's
    // download thread, which opens, writes and closes RecordFile (the GUI thread closes it only when
    // a download end never comes), always under RecordMutex.
    std::atomic<std::int32_t> RecordState{0};
    std::mutex RecordMutex;
    std::FILE* RecordFile = nullptr; // guarded by RecordMutex
    std::uint64_t RecordRequest = 0; // guarded by RecordMutex: the play request whose stream is recorded

    // Settings mirrored from config.txt (GUI thread, except where marked).
    std::int32_t CheckUpdates = 0;
    bool OpenLast = false;
    std::int32_t StartVolume = 0;
    std::int32_t AutostartEnabled = 0;
    std::int32_t BufferMs = 0;
    std::atomic<std::int32_t> EqualizerEnabled{0}; // read by stream workers

    // Equalizer and effects on the current stream. Workers read the bands and write the effect
    // handles; parameter records are built by whichever thread applies them, never shared.
    std::array<std::atomic<std::int32_t>, EqualizerBandCount> EqualizerBands{};
    std::array<std::atomic<std::uint32_t>, EqualizerBandCount> EqualizerFx{};
    std::atomic<std::uint32_t> ReverbFx{0};
    // The GUI thread's working records; a worker setting up a new stream uses records of its own,
    // so a band change from the Options window can never mix with a chain being built.
    EqRecord EqBandParams;
    ReverbRecord ReverbParams;

    // Volume and mute (GUI thread). VolumePosition mirrors the volume slider for stream workers.
    std::atomic<std::int32_t> VolumePosition{25};
    std::int32_t Muted = 0;
    std::int32_t VolumeBeforeMute = 0;

    // Station lists and favourites (GUI thread). LogoExtensions is indexed by station number 1..1000
    // (slot 0 unused); FavouriteCells by favourites-grid cell 0..999.
    std::int32_t StationCount = 0;
    std::array<std::string, MaxStations + 1> LogoExtensions;
    std::int32_t CurrentIsFavourite = 0;
    std::int32_t FavouritesShown = 0;
    std::int32_t FavouriteCount = 0;
    std::array<std::int32_t, MaxStations> FavouriteCells{};

    // Catalogue import (GUI thread). Rows 1..1000 (row 0 unused).
    struct ImportRow {
        std::string LogoPath;
        std::string StationKey;
        std::string StationName;
    };
    std::int32_t ImportCount = 0;
    std::array<ImportRow, MaxStations + 1> ImportTable;

    // Network identity. The audio library keeps reading these while streams open, so they stay at
    // fixed addresses for the whole run; written on the GUI thread before they are handed over.
    std::array<char, NetTextSize> AgentText{};
    std::array<char, NetTextSize> ProxyText{};
};

// The single instance every window and worker reaches.
PlayerState& State();

// Tests start each scenario from the zeroed record.
void ResetPlayerState();

// Copies text into a fixed buffer, cutting it to the buffer's size less the terminating NUL.
void CopyNetText(std::array<char, NetTextSize>& dst, const std::string& text);
