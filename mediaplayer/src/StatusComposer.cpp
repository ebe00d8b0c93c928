#include "StatusComposer.h"

#include <algorithm>

namespace tembrik::mediaplayer::detail {

void StatusComposer::apply(const PlayerEvent& event) {
    std::visit([this](const auto& e) { on(e); }, event);
}

PlayState StatusComposer::playState() const {
    switch (phase_) {
    case Phase::Idle:
        return PlayState::Undefined;
    case Phase::Connecting:
        return PlayState::Transitioning;
    case Phase::Buffering:
        return PlayState::Buffering;
    case Phase::Playing:
        return PlayState::Playing;
    case Phase::Stopped:
        return PlayState::Stopped;
    case Phase::Ended:
        return PlayState::MediaEnded;
    case Phase::Failed:
        return PlayState::Ready;
    }
    return PlayState::Undefined;
}

QString StatusComposer::text() const {
    switch (phase_) {
    case Phase::Idle:
        return {};
    case Phase::Connecting:
        return QStringLiteral("Подключение...");
    case Phase::Buffering:
        return QStringLiteral("Буферизация: %1%").arg(bufferingPercent_);
    case Phase::Playing:
        if (const int kbps = shownKbps(); kbps > 0) {
            return QStringLiteral("Воспроизведение: %1 Кбит/с").arg(kbps);
        }
        return QStringLiteral("Воспроизведение");
    case Phase::Stopped:
        return QStringLiteral("Остановлено");
    case Phase::Ended:
        return QStringLiteral("Воспроизведение завершено");
    case Phase::Failed:
        return QStringLiteral("Ошибка: ") + failureText(failure_);
    }
    return {};
}

QString StatusComposer::failureText(Failure failure) {
    // Never a "/" in these: the status line's reader treats "/с" as the end of a bitrate.
    switch (failure) {
    case Failure::LoadingFailed:
        return QStringLiteral("не удалось открыть поток");
    case Failure::UnsupportedFormat:
        return QStringLiteral("неподдерживаемый формат");
    case Failure::NothingToPlay:
        return QStringLiteral("в потоке нет звука");
    case Failure::AudioOutputFailed:
        return QStringLiteral("звуковое устройство недоступно");
    case Failure::EmptyPlaylist:
        return QStringLiteral("список воспроизведения пуст");
    case Failure::UnsupportedAddress:
        return QStringLiteral("неподдерживаемый адрес");
    case Failure::EngineUnavailable:
        return QStringLiteral("проигрыватель недоступен");
    case Failure::None:
    case Failure::Other:
        break;
    }
    return QStringLiteral("сбой воспроизведения");
}

void StatusComposer::on(const LoadRequested& e) {
    generation_ = e.generation;
    awaitingReply_ = true;
    firstEntryId_ = 0;
    startedWhileAwaiting_ = 0;
    phase_ = Phase::Connecting;
    failure_ = Failure::None;
    entryStarted_ = false;
    startEntry();
}

void StatusComposer::on(const StopRequested&) {
    awaitingReply_ = false;
    firstEntryId_ = 0;
    entryStarted_ = false;
    phase_ = Phase::Stopped;
}

void StatusComposer::on(const LoadAccepted& e) {
    if (!awaitingReply_ || e.generation != generation_) {
        return;
    }
    awaitingReply_ = false;
    firstEntryId_ = e.entryId;
    if (startedWhileAwaiting_ != 0 && isOurs(startedWhileAwaiting_)) {
        entryStarted_ = true;
    }
}

void StatusComposer::on(const LoadRejected& e) {
    if (!awaitingReply_ || e.generation != generation_) {
        return;
    }
    awaitingReply_ = false;
    phase_ = Phase::Failed;
    failure_ = e.failure;
}

void StatusComposer::on(const FileStarted& e) {
    if (awaitingReply_) {
        startedWhileAwaiting_ = e.entryId;
        return;
    }
    if (!isOurs(e.entryId) || !tracksEntry()) {
        entryStarted_ = false;
        return;
    }
    // The next entry of a playlist after a failed or ended one: connecting again.
    phase_ = Phase::Connecting;
    failure_ = Failure::None;
    entryStarted_ = true;
    startEntry();
}

void StatusComposer::on(const FileLoaded&) {
    if (!entryStarted_) {
        return;
    }
    loaded_ = true;
    settle();
}

void StatusComposer::on(const FileEnded& e) {
    if (awaitingReply_ || !isOurs(e.entryId) || !entryStarted_) {
        return;
    }
    switch (e.reason) {
    case EndReason::Stop:
    case EndReason::Quit:
        // Only our own commands stop an entry, and they have set the phase already.
        return;
    case EndReason::Redirect:
        // A playlist file expanding into its entries; the first of them starts next.
        if (e.insertedEntries > 0) {
            return;
        }
        phase_ = Phase::Failed;
        failure_ = Failure::EmptyPlaylist;
        break;
    case EndReason::Eof:
        phase_ = Phase::Ended;
        break;
    case EndReason::Error:
        phase_ = Phase::Failed;
        failure_ = e.failure == Failure::None ? Failure::Other : e.failure;
        break;
    }
    entryStarted_ = false;
}

void StatusComposer::on(const IdleChanged& e) {
    // libmpv went idle while our entry still seemed under way, without an end report that explains
    // it: never leave the status line claiming progress.
    if (!e.idle || !entryStarted_ || !isActive()) {
        return;
    }
    if (phase_ == Phase::Playing) {
        phase_ = Phase::Ended;
    } else {
        phase_ = Phase::Failed;
        failure_ = Failure::Other;
    }
    entryStarted_ = false;
}

void StatusComposer::on(const CoreIdleChanged& e) {
    if (!entryStarted_) {
        return;
    }
    coreIdle_ = e.idle;
    settle();
}

void StatusComposer::on(const PausedForCacheChanged& e) {
    if (!entryStarted_) {
        return;
    }
    pausedForCache_ = e.paused;
    settle();
}

void StatusComposer::on(const BufferingChanged& e) {
    if (!entryStarted_) {
        return;
    }
    bufferingPercent_ = std::clamp(e.percent, 0, 100);
}

void StatusComposer::on(const StationBitrateChanged& e) {
    if (entryStarted_) {
        stationKbps_ = std::max(e.kbps, 0);
    }
}

void StatusComposer::on(const DemuxerBitrateChanged& e) {
    if (entryStarted_) {
        demuxerBitsPerSecond_ = std::max<std::int64_t>(e.bitsPerSecond, 0);
    }
}

void StatusComposer::on(const MeasuredBitrateChanged& e) {
    if (entryStarted_) {
        measured_.update(e.bitsPerSecond);
    }
}

bool StatusComposer::isOurs(std::int64_t entryId) const {
    return firstEntryId_ > 0 && entryId >= firstEntryId_;
}

bool StatusComposer::tracksEntry() const {
    return isActive() || phase_ == Phase::Ended || phase_ == Phase::Failed;
}

bool StatusComposer::isActive() const {
    return phase_ == Phase::Connecting || phase_ == Phase::Buffering || phase_ == Phase::Playing;
}

void StatusComposer::startEntry() {
    loaded_ = false;
    coreIdle_ = true;
    pausedForCache_ = false;
    bufferingPercent_ = 0;
    stationKbps_ = 0;
    demuxerBitsPerSecond_ = 0;
    measured_.reset();
}

void StatusComposer::settle() {
    if (!isActive()) {
        return;
    }
    if (!loaded_) {
        phase_ = Phase::Connecting;
    } else if (pausedForCache_) {
        phase_ = Phase::Buffering;
    } else if (!coreIdle_) {
        phase_ = Phase::Playing;
    }
    // Loaded, not waiting for the cache, yet not running: libmpv reports the cache's release and the
    // start of playback one after the other, so keep what is shown until the second arrives.
}

int StatusComposer::shownKbps() const {
    if (stationKbps_ > 0) {
        return stationKbps_;
    }
    if (demuxerBitsPerSecond_ > 0) {
        // Containers without a declared rate (ADTS) get one estimated from the first frames.
        return MeasuredBitrate::nominalKbps(static_cast<double>(demuxerBitsPerSecond_) / 1000.0);
    }
    return measured_.shownKbps();
}

} // namespace tembrik::mediaplayer::detail
