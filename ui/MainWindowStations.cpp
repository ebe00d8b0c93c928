// Station catalogue, grids and favourites on the main window. Everything here runs on the GUI
// thread; errors of the steps called by code go up to their caller, the click handlers show them.
#include "MainWindow.h"

#include "ErrorBox.h"
#include "SkinnedWindow.h"
#include "StationEditor.h"
#include "widgets/ImageControl.h"
#include "widgets/LogoGrid.h"
#include "widgets/ShadowLabel.h"

#include "app/PlayerState.h"
#include "stations/Favourites.h"
#include "stations/GridModel.h"
#include "stations/Logo.h"
#include "stations/StationDirectory.h"
#include "stations/StationStore.h"
#include "tembrik/platform/Errors.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include <filesystem>
#include <system_error>

using namespace tembrik::stations;

namespace {

// A missing star picture leaves the star blank rather than showing the wrong state.
void ShowStarPicture(ImageControl* star, const char* picture) {
    try {
        star->setPicture(LoadProgramPicture(picture));
    } catch (const tembrik::platform::FileError&) {
        star->setPicture(QPixmap());
    }
    star->repaint();
}

void ShowFavouriteState(ImageControl* star, bool favourite, const QString& notFavouriteHint) {
    ShowStarPicture(star, favourite ? "fav.png" : "notfav.png");
    State().CurrentIsFavourite = favourite ? 1 : 0;
    star->setHint(favourite ? QString("Remove from favourites") : notFavouriteHint);
}

void FillGrid(LogoGrid* grid, const GridModel& model) {
    grid->clear();
    grid->setRowCount(model.Rows);
    const std::vector<QImage> pictures = LoadLogos(model.Stations, grid->cellPictureSize());
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        const int cell = static_cast<int>(k);
        grid->setPicture(cell % GridColumns, cell / GridColumns, pictures[k]);
    }
}

void RemoveUnderline(ShadowLabel* label) {
    QFont f = label->font();
    f.setUnderline(false);
    label->setFont(f);
}

bool StationOpened(const ShadowLabel* title) {
    return title->text() != QString::fromUtf8(IdleTitle);
}

// What opening a station does once its file is read: the address and title become current and it
// starts on the engine its flag names.
void PlayStation(MainWindow& window, const StationFile& file) {
    PlayerState& s = State();
    s.UseSecondPlayer.set("0");
    s.CurrentUrl.set(file.Url);
    window.stationTitle->setCaption(QString::fromStdString(file.Title));
    s.UseSecondPlayer.set(file.Engine);

    window.cancelPendingReconnect();
    window.stopSecondPlayer();
    window.stopMainChannel();
    if (file.Engine == AlternativeEngineFlag)
        window.startSecondPlayer(QString::fromStdString(file.Url));
    else if (file.Engine == "0")
        window.connectCurrentStation();
}

template <typename Steps> void ShowingErrors(Steps steps) {
    try {
        steps();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    }
}

} // namespace

void MainWindow::openStation(int station) {
    const StationFile file = ReadStationFile(station);
    PlayStation(*this, file);
}

void MainWindow::playUncataloguedStation(const std::string& url, const std::string& title,
                                         bool onSecondPlayer) {
    State().CurrentStation = -1;
    PlayStation(*this, {url, title, onSecondPlayer ? AlternativeEngineFlag : "0"});
    recordButton->setEnabled(true);
    playButton->setEnabled(true);
    stopButton->setEnabled(true);
    ShowFavouriteState(favouriteStar, false, "Add to favourites");
    trayIcon->setToolTip(stationTitle->text());
}

void MainWindow::reloadStations() {
    ScanStationsDirectory();
    fillStationGrid();
    fillFavouritesGrid();
}

void MainWindow::fillStationGrid() {
    FillGrid(stationGrid, StationGridModel());
    emit gridsFilled();
}

void MainWindow::fillFavouritesGrid() {
    if (!LoadFavouriteCells())
        return;
    FillGrid(favouritesGrid, FavouritesGridModel());
    emit gridsFilled();
}

void MainWindow::selectStation(int station, bool freeStream, const QString& notFavouriteHint) {
    if (freeStream) {
        onStopClicked();
    } else {
        stopSecondPlayer();
        stopMainChannel();
    }
    openStation(station);
    State().CurrentStation = station;
    recordButton->setEnabled(true);
    playButton->setEnabled(true);
    stopButton->setEnabled(true);
    ShowFavouriteState(favouriteStar, IsFavourite(station), notFavouriteHint);
}

void MainWindow::stationCellSelected(int column, int row) {
    ShowingErrors([&] {
        tickOptionsBoxesFromSettings();
        RemoveUnderline(nowPlaying);
        const int station = StationAtCell(column, row);
        std::error_code ec;
        if (std::filesystem::exists(StationFilePath(station), ec))
            selectStation(station, false, "Add to Favourites");
        if (StationOpened(stationTitle) && theStationEditor) {
            theStationEditor->fillFromCurrentStation();
            theStationEditor->logo->repaint();
        }
        trayIcon->setToolTip(stationTitle->text());
    });
}

void MainWindow::favouriteCellSelected(int column, int row) {
    ShowingErrors([&] {
        RemoveUnderline(nowPlaying);
        tickOptionsBoxesFromSettings();
        if (const auto station = FavouriteAtCell(column, row))
            selectStation(*station, true, "Add to favourites");
        if (StationOpened(stationTitle) && theStationEditor) {
            theStationEditor->fillFromCurrentStation();
            theStationEditor->logo->repaint();
        }
        trayIcon->setToolTip(stationTitle->text());
    });
}

void MainWindow::showAllStations() {
    favouritesGrid->hide();
    State().FavouritesShown = 0;
}

void MainWindow::showFavourites() {
    // The flag follows the grid on show even when reading favs.txt fails below.
    favouritesGrid->show();
    State().FavouritesShown = 1;
    ShowingErrors([&] { fillFavouritesGrid(); });
}

void MainWindow::toggleFavourite() {
    PlayerState& s = State();
    if (s.CurrentStation <= 0)
        return;
    const int station = s.CurrentStation;
    ShowingErrors([&] {
        if (s.CurrentIsFavourite != 0 || IsFavourite(station)) {
            // The file changes first, so a favs.txt that cannot be read leaves the star as it was.
            RemoveFavourite(station);
            ShowStarPicture(favouriteStar, "notfav.png");
            if (s.FavouritesShown == 1)
                showFavourites();
            s.CurrentIsFavourite = 0;
            favouriteStar->setHint("Add to favourites");
        } else {
            AddFavourite(station);
            ShowStarPicture(favouriteStar, "fav.png");
            s.CurrentIsFavourite = 1;
            favouriteStar->setHint("Remove from favourites");
        }
    });
}

void MainWindow::openStationEditor() {
    if (!theStationEditor)
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    theStationEditor->move(EditorPosition(screen ? screen->size() : QSize()));
    if (!StationOpened(stationTitle))
        return;
    theStationEditor->showModal();
    theStationEditor->fillFromCurrentStation();
}
