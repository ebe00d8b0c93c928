#pragma once
// Recording on the main window: the save dialog and the download routine the window's streams are
// opened with. The Record button's action is MainWindow::onRecordClicked.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class QWidget;
class MainWindow;

// Asks for the name to save a recording under; an empty name means the user cancelled. The program
// shows the save dialog; tests answer in its place.
using SaveNameDialog = std::function<QString(QWidget* parent)>;
void SetSaveNameDialogForTesting(SaveNameDialog dialog); // empty: the real dialog again

// The download routine for the stream workers of this window, on the engine's download threads: the
// header report and the recording, with what the window must do about a recording that ended or
// failed passed on to its own thread.
std::function<void(std::uint64_t request, const char* buffer, std::size_t length)>
RecordingDownloadRoutine(MainWindow* form);
