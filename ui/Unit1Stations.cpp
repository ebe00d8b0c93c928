// Station catalogue, grids and favourites on the main window. Everything here runs on the GUI
// thread; errors of the steps called by code go up to their caller, the click handlers show them.
#include "Unit1.h"

#include "ErrorBox.h"
#include "SkinnedWindow.h"
#include "Unit3.h"
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
void PlayStation(TForm1& form, const StationFile& file) {
    PlayerState& s = State();
    s.UseWmpEngine.set("0");
    s.CurrentUrl.set(file.Url);
    form.RxLabel6->setCaption(QString::fromStdString(file.Title));
    s.UseWmpEngine.set(file.Engine);

    form.CancelPendingReconnect();
    form.StopAlternativeEngine();
    form.StopMainChannel();
    if (file.Engine == AlternativeEngineFlag)
        form.StartAlternativeEngine(QString::fromStdString(file.Url));
    else if (file.Engine == "0")
        form.Button3Click();
}

template <typename Steps> void ShowingErrors(Steps steps) {
    try {
        steps();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    }
}

} // namespace

void TForm1::OpenStation(int station) {
    const StationFile file = ReadStationFile(station);
    PlayStation(*this, file);
}

void TForm1::PlayUncataloguedStation(const std::string& url, const std::string& title, bool secondPlayer) {
    State().CurrentStation = -1;
    PlayStation(*this, {url, title, secondPlayer ? AlternativeEngineFlag : "0"});
    sBitBtn1->setEnabled(true);
    sBitBtn2->setEnabled(true);
    sBitBtn3->setEnabled(true);
    ShowFavouriteState(Image3, false, "Add to favourites");
    RxTrayIcon1->setToolTip(RxLabel6->text());
}

void TForm1::Button2Click() {
    ScanStationsDirectory();
    FillStationGrid();
    FillFavouritesGrid();
}

void TForm1::FillStationGrid() {
    FillGrid(NextGrid1, StationGridModel());
    emit GridsFilled();
}

void TForm1::FillFavouritesGrid() {
    if (!LoadFavouriteCells())
        return;
    FillGrid(NextGrid2, FavouritesGridModel());
    emit GridsFilled();
}

void TForm1::SelectStation(int station, bool freeStream, const QString& notFavouriteHint) {
    if (freeStream) {
        sBitBtn3Click();
    } else {
        StopAlternativeEngine();
        StopMainChannel();
    }
    OpenStation(station);
    State().CurrentStation = station;
    sBitBtn1->setEnabled(true);
    sBitBtn2->setEnabled(true);
    sBitBtn3->setEnabled(true);
    ShowFavouriteState(Image3, IsFavourite(station), notFavouriteHint);
}

void TForm1::NextGrid1SelectCell(int column, int row) {
    ShowingErrors([&] {
        TickOptionsBoxesFromSettings();
        RemoveUnderline(RxLabel7);
        const int station = StationAtCell(column, row);
        std::error_code ec;
        if (std::filesystem::exists(StationFilePath(station), ec))
            SelectStation(station, false, "Add to Favourites");
        if (StationOpened(RxLabel6) && Form3) {
            Form3->FillEditorFromCurrentStation();
            Form3->Image3->repaint();
        }
        RxTrayIcon1->setToolTip(RxLabel6->text());
    });
}

void TForm1::NextGrid2SelectCell(int column, int row) {
    ShowingErrors([&] {
        RemoveUnderline(RxLabel7);
        TickOptionsBoxesFromSettings();
        if (const auto station = FavouriteAtCell(column, row))
            SelectStation(*station, true, "Add to favourites");
        if (StationOpened(RxLabel6) && Form3) {
            Form3->FillEditorFromCurrentStation();
            Form3->Image3->repaint();
        }
        RxTrayIcon1->setToolTip(RxLabel6->text());
    });
}

void TForm1::RxLabel2Click() {
    NextGrid2->hide();
    State().FavouritesShown = 0;
}

void TForm1::RxLabel3Click() {
    // The flag follows the grid on show even when reading favs.txt fails below.
    NextGrid2->show();
    State().FavouritesShown = 1;
    ShowingErrors([&] { FillFavouritesGrid(); });
}

void TForm1::Image3Click() {
    PlayerState& s = State();
    if (s.CurrentStation <= 0)
        return;
    const int station = s.CurrentStation;
    ShowingErrors([&] {
        if (s.CurrentIsFavourite != 0 || IsFavourite(station)) {
            // The file changes first, so a favs.txt that cannot be read leaves the star as it was.
            RemoveFavourite(station);
            ShowStarPicture(Image3, "notfav.png");
            if (s.FavouritesShown == 1)
                RxLabel3Click();
            s.CurrentIsFavourite = 0;
            Image3->setHint("Add to favourites");
        } else {
            AddFavourite(station);
            ShowStarPicture(Image3, "fav.png");
            s.CurrentIsFavourite = 1;
            Image3->setHint("Remove from favourites");
        }
    });
}

void TForm1::Image8Click() {
    if (!Form3)
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    Form3->move(EditorPosition(screen ? screen->size() : QSize()));
    if (!StationOpened(RxLabel6))
        return;
    Form3->ShowModal();
    Form3->FillEditorFromCurrentStation();
}
