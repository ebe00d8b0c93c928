// The engine steps of opening a station that belong to engines not wired into the main window yet:
// the second media player and the main engine's channel stop. Opening a station calls them in
// their place in the sequence, so they take effect as soon as the engines fill them in.
#include "Unit1.h"

void TForm1::StopAlternativeEngine() {}
void TForm1::StartAlternativeEngine(const QString&) {}
void TForm1::StopMainChannel() {}

// The Options window's "Check for new versions" and "Start recent radio station" boxes are ticked
// again from CheckUpdates and OpenLast at every cell click; the boxes arrive with the Options window.
void TForm1::TickOptionsBoxesFromSettings() {}
