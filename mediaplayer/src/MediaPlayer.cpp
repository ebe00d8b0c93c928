#include "tembrik/mediaplayer/MediaPlayer.h"

#include "AddressPolicy.h"
#include "MpvEvents.h"
#include "MpvLibrary.h"
#include "StatusComposer.h"
#include "Termination.h"
#include "VolumeCurve.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <mpv/client.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <variant>

namespace tembrik::mediaplayer {

Q_LOGGING_CATEGORY(lcMediaPlayer, "tembrik.mediaplayer")

namespace {

using detail::Failure;

// Keeps libmpv's demuxer cache small: a radio never seeks back, and the default keeps tens of
// megabytes of already played audio for an hour-long listen.
constexpr const char* kForwardCache = "16MiB";
constexpr const char* kBackCache = "1MiB";

// How long destruction waits for libmpv to end before leaving it to finish in the background.
constexpr std::chrono::milliseconds kTerminationPatience{2000};

// Only called once a handle exists, which means the library was loaded.
const detail::MpvLibrary& lib() {
    return *detail::mpv();
}

bool setNumericLocaleToC() {
    std::setlocale(LC_NUMERIC, "C");
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    return numeric != nullptr && std::strcmp(numeric, "C") == 0;
}

bool setOption(mpv_handle* handle, const char* name, const QString& value) {
    return lib().setOptionString(handle, name, value.toUtf8().constData()) >= 0;
}

bool setOption(mpv_handle* handle, const char* name, double value) {
    return lib().setOption(handle, name, MPV_FORMAT_DOUBLE, &value) >= 0;
}

// Options the player cannot do without; a failure here leaves the engine unavailable.
bool configure(mpv_handle* handle, const MediaPlayerConfig& config) {
    bool ok =
        setOption(handle, "vid", QStringLiteral("no")) &&
        setOption(handle, "terminal", QStringLiteral("no")) &&
        setOption(handle, "config", QStringLiteral("no")) &&
        setOption(handle, "idle", QStringLiteral("yes")) && setOption(handle, "ao", config.audioOutput) &&
        setOption(handle, "audio-client-name", config.clientName) &&
        setOption(handle, "network-timeout", QString::number(std::max(config.networkTimeoutSeconds, 1))) &&
        setOption(handle, "cache-pause-initial", QStringLiteral("yes")) &&
        setOption(handle, "cache-pause-wait", std::max(config.prebufferSeconds, 0.0)) &&
        setOption(handle, "volume", detail::mpvVolumeFor(config.initialVolume));
    if (ok && !config.audioDevice.isEmpty()) {
        ok = setOption(handle, "audio-device", config.audioDevice);
    }
    if (!ok) {
        return false;
    }
    // Scripts, key bindings and the on-screen controller belong to the stand-alone player; names
    // vary between libmpv releases, so a missing one is no reason to give up.
    for (const char* name : {"osc", "ytdl", "load-scripts", "load-stats-overlay", "load-osd-console",
                             "load-auto-profiles", "input-default-bindings"}) {
        setOption(handle, name, QStringLiteral("no"));
    }
    setOption(handle, "demuxer-max-bytes", QString::fromLatin1(kForwardCache));
    setOption(handle, "demuxer-max-back-bytes", QString::fromLatin1(kBackCache));
    return true;
}

} // namespace

// Everything here belongs to the player's own (GUI) thread, except drainQueued.
struct MediaPlayer::Private {
    MediaPlayerConfig config;
    mpv_handle* handle = nullptr;
    detail::StatusComposer composer;
    QString url;
    int volume = 100;
    std::uint64_t generation = 0;
    QString reportedText;
    // Set by libmpv's threads in onWakeup, cleared by the GUI thread before it drains; coalesces
    // wake-ups into one queued drain.
    std::atomic<bool> drainQueued{false};
};

MediaPlayer::MediaPlayer(QObject* parent) : MediaPlayer(MediaPlayerConfig{}, parent) {}

MediaPlayer::MediaPlayer(const MediaPlayerConfig& config, QObject* parent)
    : QObject(parent), d_(std::make_unique<Private>()) {
    d_->config = config;
    d_->volume = std::clamp(config.initialVolume, 0, 100);

    const bool numericIsC = setNumericLocaleToC();
    mpv_handle* handle = numericIsC && detail::mpv() != nullptr ? detail::mpv()->create() : nullptr;
    if (handle != nullptr && (!configure(handle, config) || lib().initialize(handle) < 0)) {
        lib().terminateDestroy(handle);
        handle = nullptr;
    }
    if (handle == nullptr) {
        if (detail::mpv() == nullptr) {
            qCWarning(lcMediaPlayer) << "libmpv could not be loaded:" << detail::mpvLoadError().c_str();
        } else {
            qCWarning(lcMediaPlayer) << "libmpv could not be set up; LC_NUMERIC is"
                                     << std::setlocale(LC_NUMERIC, nullptr);
        }
        d_->composer.apply(detail::LoadRequested{++d_->generation});
        d_->composer.apply(detail::LoadRejected{d_->generation, Failure::EngineUnavailable});
    } else {
        for (const auto& property : detail::observedProperties()) {
            lib().observeProperty(handle, static_cast<std::uint64_t>(property.id), property.name,
                                  property.format);
        }
        lib().requestLogMessages(handle, "error");
        d_->handle = handle;
        // Setting the callback calls it once, which drains the property values already queued.
        lib().setWakeupCallback(handle, &MediaPlayer::onWakeup, this);
    }
    d_->reportedText = d_->composer.text();
}

MediaPlayer::~MediaPlayer() {
    if (d_->handle != nullptr) {
        // libmpv calls the wake-up callback under a lock this call takes too, so once it returns no
        // libmpv thread is inside onWakeup or will enter it. A drain already queued is discarded with
        // this object's posted events.
        lib().setWakeupCallback(d_->handle, nullptr, nullptr);
        if (!detail::terminateWithin(d_->handle, kTerminationPatience)) {
            qCWarning(lcMediaPlayer)
                << "libmpv is still closing the stream; left to finish in the background";
        }
        d_->handle = nullptr;
    }
}

void MediaPlayer::onWakeup(void* self) {
    // Runs on a libmpv thread: no libmpv calls here, only a queued hop to the player's thread.
    auto* player = static_cast<MediaPlayer*>(self);
    if (!player->d_->drainQueued.exchange(true)) {
        QMetaObject::invokeMethod(player, &MediaPlayer::drainEvents, Qt::QueuedConnection);
    }
}

void MediaPlayer::drainEvents() {
    // Cleared before draining, so a wake-up for an event that arrives meanwhile queues another drain.
    d_->drainQueued.store(false);
    if (d_->handle == nullptr) {
        return;
    }
    for (;;) {
        const mpv_event* event = lib().waitEvent(d_->handle, 0);
        if (event->event_id == MPV_EVENT_NONE || event->event_id == MPV_EVENT_SHUTDOWN) {
            break;
        }
        if (event->event_id == MPV_EVENT_LOG_MESSAGE) {
            const auto* message = static_cast<const mpv_event_log_message*>(event->data);
            qCWarning(lcMediaPlayer).noquote()
                << message->prefix << QString::fromUtf8(message->text).trimmed();
            continue;
        }
        const auto translated = detail::translateEvent(*event);
        if (!translated) {
            continue;
        }
        if (std::holds_alternative<detail::FileStarted>(*translated)) {
            for (const auto& property : detail::observedProperties()) {
                const auto id = static_cast<std::uint64_t>(property.id);
                lib().unobserveProperty(d_->handle, id);
                lib().observeProperty(d_->handle, id, property.name, property.format);
            }
        }
        d_->composer.apply(*translated);
    }
    reportIfChanged();
}

void MediaPlayer::startLoad() {
    const std::uint64_t generation = ++d_->generation;
    d_->composer.apply(detail::LoadRequested{generation});
    if (d_->handle == nullptr) {
        d_->composer.apply(detail::LoadRejected{generation, Failure::EngineUnavailable});
    } else if (!detail::isPlayableAddress(d_->url)) {
        lib().commandAsync(d_->handle, detail::kUntrackedReply,
                           std::array<const char*, 2>{"stop", nullptr}.data());
        d_->composer.apply(detail::LoadRejected{generation, Failure::UnsupportedAddress});
    } else {
        const QByteArray url = d_->url.trimmed().toUtf8();
        std::array<const char*, 4> command{"loadfile", url.constData(), "replace", nullptr};
        if (const int error = lib().commandAsync(d_->handle, generation, command.data()); error < 0) {
            d_->composer.apply(detail::LoadRejected{generation, detail::failureFromMpvError(error)});
        }
    }
    reportIfChanged();
}

void MediaPlayer::setUrl(const QString& url) {
    d_->url = url;
    if (url.trimmed().isEmpty()) {
        stop();
    } else if (d_->config.autoStart) {
        startLoad();
    }
}

QString MediaPlayer::url() const {
    return d_->url;
}

void MediaPlayer::play() {
    if (d_->url.trimmed().isEmpty()) {
        return;
    }
    switch (d_->composer.playState()) {
    case PlayState::Transitioning:
    case PlayState::Buffering:
    case PlayState::Playing:
        return;
    default:
        startLoad();
    }
}

void MediaPlayer::stop() {
    if (d_->handle != nullptr) {
        std::array<const char*, 2> command{"stop", nullptr};
        lib().commandAsync(d_->handle, detail::kUntrackedReply, command.data());
    }
    d_->composer.apply(detail::StopRequested{});
    reportIfChanged();
}

void MediaPlayer::setVolume(int volume) {
    d_->volume = std::clamp(volume, 0, 100);
    if (d_->handle != nullptr) {
        double value = detail::mpvVolumeFor(d_->volume);
        lib().setPropertyAsync(d_->handle, detail::kUntrackedReply, "volume", MPV_FORMAT_DOUBLE, &value);
    }
}

int MediaPlayer::volume() const {
    return d_->volume;
}

PlayState MediaPlayer::playState() const {
    return d_->composer.playState();
}

QString MediaPlayer::status() const {
    return d_->composer.text();
}

bool MediaPlayer::isAvailable() const {
    return d_->handle != nullptr;
}

void MediaPlayer::reportIfChanged() {
    const QString text = d_->composer.text();
    if (text != d_->reportedText) {
        d_->reportedText = text;
        emit statusChanged();
    }
}

} // namespace tembrik::mediaplayer
