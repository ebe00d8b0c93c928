// config.txt on the main window: read at start-up, written when the close image (or the tray menu's
// exit item) ends the program. The reader takes values by line position (line 2k is the k-th
// setting) and stops at the first failure, leaving the settings after it as they were.
#include "Unit1.h"

#include "ErrorBox.h"
#include "Unit2.h"
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

void TForm1::LoadSettings() {
    using tembrik::platform::parseInt;
    PlayerState& s = State();
    const auto config = tembrik::platform::TextLines::read(tembrik::platform::programDir() / "config.txt");
    s.CheckUpdates = Flag(config.line(1));
    s.OpenLast = Flag(config.line(3)) == 1;
    s.StartVolume = parseInt(config.line(5));
    s.CurrentStation = s.OpenLast ? parseInt(config.line(7)) : -1;
    if (s.CheckUpdates == 1)
        Timer1->start();
    else
        Timer1->stop();
    s.AutostartEnabled = Flag(config.line(9));
    if (s.OpenLast && s.CurrentStation != -1)
        ReopenLastStation();
    // Seconds beyond what milliseconds can hold are taken as the largest buffer there is.
    const std::int64_t bufferMs = std::int64_t{parseInt(config.line(11))} * 1000;
    s.BufferMs = static_cast<std::int32_t>(std::clamp<std::int64_t>(bufferMs, INT32_MIN, INT32_MAX));
    s.EqualizerEnabled = parseInt(config.line(13));
}

void TForm1::ReopenLastStation() {
    PlayerState& s = State();
    OpenStation(s.CurrentStation);
    sBitBtn1->setEnabled(true);
    sBitBtn2->setEnabled(true);
    sBitBtn3->setEnabled(true);
    const bool favourite = tembrik::stations::IsFavourite(s.CurrentStation);
    Image3->setPicture(LoadProgramPicture(favourite ? "fav.png" : "notfav.png"));
    s.CurrentIsFavourite = favourite ? 1 : 0;
    Image3->setHint(favourite ? "Remove from favourites" : "Add to favourites");
}

void TForm1::Image4Click() {
    const PlayerState& s = State();
    ConfigValues v;
    v.CheckUpdates = s.CheckUpdates;
    v.OpenLast = s.OpenLast ? 1 : 0;
    v.StartVolume = sTrackBar1->value();
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

void TForm1::Image7Click() {
    if (Form2)
        Form2->OptionsOpen();
}

// Choosing a station ticks the Options window's "Check for new versions" and "Start recent radio
// station" again from CheckUpdates and OpenLast, even after an unapplied untick.
void TForm1::TickOptionsBoxesFromSettings() {
    if (!Form2)
        return;
    const PlayerState& s = State();
    if (s.CheckUpdates == 1)
        TForm2::Tick(Form2->sCheckBox2);
    if (s.OpenLast)
        TForm2::Tick(Form2->sCheckBox1);
}
