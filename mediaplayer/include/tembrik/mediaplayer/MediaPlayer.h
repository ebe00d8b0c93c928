#pragma once

#include "tembrik/mediaplayer/MediaPlayerConfig.h"
#include "tembrik/mediaplayer/PlayState.h"

#include <QObject>
#include <QString>
#include <memory>

namespace tembrik::mediaplayer {

// A network audio player on libmpv that behaves like a desktop media player control: set a URL and it
// connects, buffers and plays; its status line reads "Подключение...", "Буферизация: 45%",
// "Воспроизведение: 128 Кбит/с", "Остановлено", "Воспроизведение завершено" or "Ошибка: ...".
// Playlists (.m3u, .pls, HLS) are resolved by libmpv.
//
// Threads: create, use and destroy it on the GUI thread, whose Qt event loop must run: libmpv's own
// threads only post a wake-up to it, and its events are drained and statusChanged() is emitted there.
//
// Locale: libmpv works only while LC_NUMERIC is "C", and a QApplication (or QCoreApplication) sets the
// process locale from the environment when it is constructed. The constructor therefore sets
// LC_NUMERIC to "C" for the whole process and checks that it took; construct the player after the
// application object and do not change LC_NUMERIC afterwards. Qt's own number formatting (QLocale)
// does not depend on it. If the locale or libmpv cannot be set up, the player stays usable but
// reports "Ошибка: проигрыватель недоступен" and plays nothing.
class MediaPlayer : public QObject {
    Q_OBJECT

public:
    explicit MediaPlayer(QObject* parent = nullptr);
    explicit MediaPlayer(const MediaPlayerConfig& config, QObject* parent = nullptr);
    // Stops and releases libmpv. Returns promptly even while a connection is being made; should
    // libmpv be stuck in a host name lookup, it waits two seconds at most and lets libmpv finish on
    // its own thread.
    ~MediaPlayer() override;

    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Opens the address (http, https, mms, rtsp, rtmp and their variants) and, with autoStart on,
    // starts playing it even if it was playing already. An empty URL stops playback. Other schemes,
    // local files among them, fail with "Ошибка: неподдерживаемый адрес".
    void setUrl(const QString& url);
    QString url() const;

    // Starts playing the URL unless it is already connecting, buffering or playing.
    void play();
    // Stops playback; the status becomes "Остановлено" and the state Stopped.
    void stop();

    // 0 (silent) to 100 (unchanged); values outside are clamped. Position p sounds as loud as the
    // main engine's linear volume p / 100.
    void setVolume(int volume);
    int volume() const;

    PlayState playState() const;
    QString status() const;

    // False when libmpv could not be set up.
    bool isAvailable() const;

signals:
    // The status text changed; read status() and playState().
    void statusChanged();

private:
    struct Private;

    static void onWakeup(void* self);
    void drainEvents();
    void startLoad();
    void reportIfChanged();

    std::unique_ptr<Private> d_;
};

} // namespace tembrik::mediaplayer
