#pragma once
// MPRIS 2.2 on the session bus, so media keys, the desktop's sound menu and playerctl drive the
// player: the object /org/mpris/MediaPlayer2 under the name org.mpris.MediaPlayer2.tembrik (or
// org.mpris.MediaPlayer2.tembrik.instance<PID> while another copy holds that one). Its methods run
// the main window's own handlers; its properties are read from the window's controls, and every
// change the window shows is announced at once with PropertiesChanged. GUI thread only.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class MainWindow;

namespace desktop {

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* BaseName = "org.mpris.MediaPlayer2.tembrik";

    // Registers on `bus`. Without a bus, or when no name can be had, one line goes to standard
    // error and the service stays off; the window works exactly as without it.
    explicit MprisService(MainWindow& form, QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisService() override;

    // The bus name held, or empty while the service is off.
    QString busName() const { return name_; }
    const QDBusConnection& bus() const { return bus_; }

    // org.mpris.MediaPlayer2
    void Raise();
    void Quit();
    static QStringList SupportedUriSchemes();
    static QStringList SupportedMimeTypes();

    // org.mpris.MediaPlayer2.Player
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);
    bool CanPlay() const;
    bool CanGoNext() const;
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Observe();
    // Emits PropertiesChanged with the Player properties that differ from the last announcement.
    void Announce();
    QVariantMap PlayerProperties() const;
    bool StationOpened() const;
    std::vector<int> ShownGrid() const;
    void Step(int step);

    MainWindow& form_;
    QDBusConnection bus_;
    QString name_;
    bool playing_ = false; // follows the window's playingChanged
    QVariantMap announced_;
};

} // namespace desktop
