#pragma once
// The program's five windows as the program entry holds them, each for the whole run. Created in
// their fixed order: creating the main window runs the start-up sequence, which may connect to the
// last station, so every window exists before the main window is shown and the first status report
// arrives. Destroyed in the reverse order, the main window last: it frees the audio engine.
#include "AboutWindow.h"
#include "MainWindow.h"
#include "OptionsWindow.h"
#include "StationEditor.h"
#include "UpdateNotice.h"

#include <memory>

struct ProgramWindows {
    // Members are destroyed bottom-up: keep this order.
    std::unique_ptr<MainWindow> main = std::make_unique<MainWindow>();
    std::unique_ptr<OptionsWindow> options = std::make_unique<OptionsWindow>();
    std::unique_ptr<StationEditor> editor = std::make_unique<StationEditor>();
    std::unique_ptr<UpdateNotice> updateNotice = std::make_unique<UpdateNotice>();
    std::unique_ptr<AboutWindow> about = std::make_unique<AboutWindow>();
};
