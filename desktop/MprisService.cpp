#include "MprisService.h"

#include "GridNeighbour.h"
#include "MprisAdaptors.h"

#include "app/PlayerState.h"
#include "stations/GridModel.h"
#include "stations/Logo.h"
#include "stations/StationStore.h"
#include "ui/MainWindow.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEvent>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace desktop {

namespace {

constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";

void Complain(const QString& why) {
    std::fprintf(stderr, "tembrik: %s: media keys and the desktop's sound menu cannot reach the player\n",
                 qPrintable(why));
}

QString LogoUrl(int station) {
    const std::string& extension = State().LogoExtensions[static_cast<std::size_t>(station)];
    if (!tembrik::stations::IsPictureExtension(extension))
        return {};
    const auto path = tembrik::stations::StationsDir() / (std::to_string(station) + extension);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return {};
    return QUrl::fromLocalFile(QString::fromStdString(std::filesystem::absolute(path, ec).string()))
        .toString();
}

} // namespace

MprisService::MprisService(MainWindow& form, QDBusConnection bus) : form_(form), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        Complain("no session bus");
        return;
    }
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    if (!bus_.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors)) {
        Complain("the bus refused the object " + QString(ObjectPath));
        return;
    }
    // Another copy (from another program directory) may hold the plain name; take our own then.
    for (const QString& name :
         {QString(BaseName),
          QStringLiteral("%1.instance%2").arg(BaseName).arg(QCoreApplication::applicationPid())}) {
        if (bus_.registerService(name)) {
            name_ = name;
            break;
        }
    }
    if (name_.isEmpty()) {
        bus_.unregisterObject(ObjectPath);
        Complain("no name on the session bus");
        return;
    }
    announced_ = PlayerProperties();
    Observe();
}

MprisService::~MprisService() {
    if (name_.isEmpty())
        return;
    bus_.unregisterService(name_);
    bus_.unregisterObject(ObjectPath);
}

void MprisService::Observe() {
    connect(&form_, &MainWindow::playingChanged, this, [this](bool playing) {
        playing_ = playing;
        Announce();
    });
    connect(&form_, &MainWindow::gridsFilled, this, &MprisService::Announce);
    connect(form_.nowPlaying, &ShadowLabel::captionChanged, this, &MprisService::Announce);
    connect(form_.stationTitle, &ShadowLabel::captionChanged, this, &MprisService::Announce);
    connect(form_.volumeSlider, &QSlider::valueChanged, this, &MprisService::Announce);
    // Switching between all stations and favourites changes where Next and Previous lead.
    form_.favouritesGrid->installEventFilter(this);
}

bool MprisService::eventFilter(QObject* watched, QEvent* event) {
    // The ...ToParent events come whenever show() or hide() is called, even on a hidden window.
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        Announce();
    return QObject::eventFilter(watched, event);
}

void MprisService::Announce() {
    const QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    announced_ = now;
    if (changed.isEmpty() || name_.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(ObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString(PlayerInterface) << changed << QStringList();
    bus_.send(signal);
}

QVariantMap MprisService::PlayerProperties() const {
    const bool canPlay = CanPlay();
    const bool canGo = CanGoNext();
    return {
        {"PlaybackStatus", PlaybackStatus()},
        {"Metadata", Metadata()},
        {"Volume", Volume()},
        {"CanPlay", canPlay},
        {"CanPause", canPlay},
        {"CanGoNext", canGo},
        {"CanGoPrevious", canGo},
    };
}

bool MprisService::StationOpened() const {
    return form_.stationTitle->text() != QString::fromUtf8(tembrik::stations::IdleTitle);
}

std::vector<int> MprisService::ShownGrid() const {
    return State().FavouritesShown == 1 ? tembrik::stations::FavouritesGridModel().Stations
                                        : tembrik::stations::StationGridModel().Stations;
}

void MprisService::Raise() {
    if (form_.isHidden()) {
        // The tray's "open" item knows how to bring the window back from the tray.
        form_.openFromTray();
    } else {
        form_.setWindowState(form_.windowState() & ~Qt::WindowMinimized);
        form_.show();
        form_.raise();
        form_.activateWindow();
    }
}

void MprisService::Quit() {
    // The close image's path: the settings are written and the program ends.
    form_.closeProgram();
}

QStringList MprisService::SupportedUriSchemes() {
    return {"http", "https"};
}

QStringList MprisService::SupportedMimeTypes() {
    // What the engines decode, and the playlists the stations' addresses may name.
    return {"audio/mpeg",
            "audio/aac",
            "audio/aacp",
            "audio/x-aac",
            "audio/mp4",
            "audio/ogg",
            "audio/vorbis",
            "audio/opus",
            "audio/flac",
            "audio/x-flac",
            "application/ogg",
            "audio/x-ms-wma",
            "audio/x-mpegurl",
            "audio/mpegurl",
            "audio/x-scpls",
            "video/x-ms-asf",
            "application/vnd.apple.mpegurl"};
}

QString MprisService::PlaybackStatus() const {
    // A live stream cannot be paused: it plays or it does not.
    return playing_ ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisService::Metadata() const {
    const int station = State().CurrentStation;
    if (!StationOpened() || !tembrik::stations::IsStationNumber(station))
        return {};
    QVariantMap m{
        {"mpris:trackid",
         QVariant::fromValue(QDBusObjectPath(QStringLiteral("/tembrik/station/%1").arg(station)))},
        {"xesam:title", form_.nowPlaying->text()},
        {"xesam:album", form_.stationTitle->text()},
        {"xesam:url", QString::fromStdString(State().CurrentUrl.get())},
    };
    if (const QString logo = LogoUrl(station); !logo.isEmpty())
        m.insert("mpris:artUrl", logo);
    return m;
}

double MprisService::Volume() const {
    return form_.volumeSlider->value() / 100.0;
}

void MprisService::SetVolume(double volume) {
    if (std::isnan(volume))
        return;
    // The slider's own handler sets the engines' volume and the number beside it.
    form_.volumeSlider->setValue(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

bool MprisService::CanPlay() const {
    return StationOpened();
}

bool MprisService::CanGoNext() const {
    return !ShownGrid().empty();
}

void MprisService::Play() {
    if (!playing_ && CanPlay())
        form_.onPlayClicked();
}

void MprisService::Pause() {
    Stop();
}

void MprisService::PlayPause() {
    if (playing_)
        Stop();
    else
        Play();
}

void MprisService::Stop() {
    form_.onStopClicked();
}

void MprisService::Next() {
    Step(+1);
}

void MprisService::Previous() {
    Step(-1);
}

void MprisService::Step(int step) {
    const auto cell = NeighbourCell(ShownGrid(), State().CurrentStation, step);
    if (!cell)
        return;
    const int column = *cell % tembrik::stations::GridColumns;
    const int row = *cell / tembrik::stations::GridColumns;
    // The same handler as a click on that cell of the grid that is shown.
    if (State().FavouritesShown == 1)
        form_.favouriteCellSelected(column, row);
    else
        form_.stationCellSelected(column, row);
}

} // namespace desktop
