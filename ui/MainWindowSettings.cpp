// config.txt on the main window: read at start-up, written when the close image (or the tray menu's
// exit item) ends the program. The reader takes values by line position (line 2k is the k-th
// setting) and stops at the first failure, leaving the settings after it as they were.
#include "MainWindow.h"

#include "ErrorBox.h"
#include "OptionsWindow.h"
#include "widgets/SkinSlider.h"

#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

#include "app/PlayerState.h"
#include "settings/ConfigFile.h"
#include "settings/RunEntry.h"
#include "stations/Favourites.h"
#include "tembrik/platform/Integer.h"
#include "tembrik/platform/ProgramDir.h"
#include "tembrik/platform/TextFile.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdint>

namespace {
// A flag is on unless its line is exactly "0".
int Flag(const std::string& line) {
    return line == "0" ? 0 : 1;
}
} // namespace

void MainWindow::loadSettings() {
    using tembrik::platform::parseInt;
    PlayerState& s = State();
    const auto config = tembrik::platform::TextLines::read(tembrik::platform::programDir() / "config.txt");
    s.CheckUpdates = Flag(config.line(1));
    s.OpenLast = Flag(config.line(3)) == 1;
    s.StartVolume = parseInt(config.line(5));
    s.CurrentStation = s.OpenLast ? parseInt(config.line(7)) : -1;
    if (s.CheckUpdates == 1)
        updateCheckTimer->start();
    else
        updateCheckTimer->stop();
    s.AutostartEnabled = Flag(config.line(9));
    if (s.OpenLast && s.CurrentStation != -1)
        reopenLastStation();
    // Seconds beyond what milliseconds can hold are taken as the largest buffer there is.
    const std::int64_t bufferMs = std::int64_t{parseInt(config.line(11))} * 1000;
    s.BufferMs = static_cast<std::int32_t>(std::clamp<std::int64_t>(bufferMs, INT32_MIN, INT32_MAX));
    s.EqualizerEnabled = parseInt(config.line(13));
}

void MainWindow::reopenLastStation() {
    PlayerState& s = State();
    openStation(s.CurrentStation);
    recordButton->setEnabled(true);
    playButton->setEnabled(true);
    stopButton->setEnabled(true);
    const bool favourite = tembrik::stations::IsFavourite(s.CurrentStation);
    favouriteStar->setPicture(LoadProgramPicture(favourite ? "fav.png" : "notfav.png"));
    s.CurrentIsFavourite = favourite ? 1 : 0;
    favouriteStar->setHint(favourite ? "Remove from favourites" : "Add to favourites");
}

void MainWindow::closeProgram() {
    const PlayerState& s = State();
    ConfigValues v;
    v.CheckUpdates = s.CheckUpdates;
    v.OpenLast = s.OpenLast ? 1 : 0;
    v.StartVolume = volumeSlider->value();
    v.LastNumber = s.CurrentStation;
    v.Autorun = s.AutostartEnabled;
    v.BufferSeconds = s.BufferMs / 1000;
    v.Equalizer = s.EqualizerEnabled;
    try {
        WriteConfig(tembrik::platform::programDir(), v, CloseRunValueName,
                    tembrik::platform::programExecutable());
    } catch (const std::exception& e) {
        // The program stays open, so the user can free the disk and close again.
        ShowErrorBox(QString::fromUtf8(e.what()), this);
        return;
    }
    close();
}

void MainWindow::openOptions() {
    if (theOptionsWindow)
        theOptionsWindow->showOptions();
}

// Choosing a station ticks the Options window's "Check for new versions" and "Start recent radio
// station" again from CheckUpdates and OpenLast, even after an unapplied untick.
void MainWindow::tickOptionsBoxesFromSettings() {
    if (!theOptionsWindow)
        return;
    const PlayerState& s = State();
    if (s.CheckUpdates == 1)
        OptionsWindow::tick(theOptionsWindow->checkUpdatesBox);
    if (s.OpenLast)
        OptionsWindow::tick(theOptionsWindow->openLastBox);
}
