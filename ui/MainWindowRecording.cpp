// The Record button: the first press asks the download routine to record the station that plays,
// the second restarts the station and saves what was recorded under a name the user chooses.
#include "MainWindowRecording.h"

#include "ErrorBox.h"
#include "MainWindow.h"
#include "widgets/ShadowLabel.h"

#include "app/PlayerState.h"
#include "recording/DownloadRoutine.h"
#include "recording/SaveRecording.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

namespace {

const QString RecordingPrefix = QStringLiteral("Идёт запись: ");

// How long the save waits for the stopped stream's download to end before it closes the file itself.
constexpr std::chrono::seconds DownloadEndWait{5};

QString ShowSaveDialog(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QStringLiteral("MP3 files (*.mp3)"),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

SaveNameDialog saveNameDialog; // GUI thread only; empty: ShowSaveDialog

// True while the save dialog is open: the Record hot key still reaches the window then, and a new
// recording would overwrite the one being saved.
bool saving = false; // GUI thread only

void StartControlsReadyTimer(MainWindow& form) {
    if (!form.controlsReadyTimer->isActive())
        form.controlsReadyTimer->start();
}

// On the GUI thread, after the download routine ended or gave up a recording.
void RecordingChanged(MainWindow& form, const recording::RecordOutcome& outcome) {
    switch (outcome.event) {
    case recording::RecordEvent::None:
        break;
    case recording::RecordEvent::Ended:
        // Stop from the tray or a hot key, or the server, ended it: the controls come back as after
        // a connection.
        StartControlsReadyTimer(form);
        break;
    case recording::RecordEvent::StartFailed:
        form.enablePlaybackControls();
        form.nowPlaying->setCaption("Recording could not start: " + QString::fromStdString(outcome.reason));
        break;
    case recording::RecordEvent::WriteFailed:
        form.enablePlaybackControls();
        form.nowPlaying->setCaption("Recording stopped: " + QString::fromStdString(outcome.reason));
        break;
    }
}

} // namespace

void SetSaveNameDialogForTesting(SaveNameDialog dialog) {
    saveNameDialog = std::move(dialog);
}

std::function<void(std::uint64_t, const char*, std::size_t)> RecordingDownloadRoutine(MainWindow* form) {
    // The window is looked at only on its own thread: a stream of a window that is gone by then
    // (shutdown, tests) changes nothing.
    return
        [window = QPointer<MainWindow>(form)](std::uint64_t request, const char* buffer, std::size_t length) {
            const recording::RecordOutcome outcome = recording::DownloadRoutine(request, buffer, length);
            if (outcome.event != recording::RecordEvent::None)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [window, outcome] {
                        if (window)
                            RecordingChanged(*window, outcome);
                    },
                    Qt::QueuedConnection);
        };
}

void MainWindow::onRecordClicked() {
    if (State().UseSecondPlayer.get() == "1") {
        ShowMessage("Turn off WMP engine.", this);
        return;
    }
    if (saving)
        return;
    if (recording::RequestRecording()) {
        disablePlaybackControls();
        nowPlaying->setCaption(RecordingPrefix + nowPlaying->text());
        return;
    }
    // No block has come since the request, so there is nothing of this recording to save: the
    // second press withdraws the request.
    if (recording::CancelRequest()) {
        enablePlaybackControls();
        if (nowPlaying->text().startsWith(RecordingPrefix))
            nowPlaying->setCaption(nowPlaying->text().mid(RecordingPrefix.size()));
        return;
    }

    // Stop ends the recorded stream's download, which closes the file; the station plays again
    // while the dialog is open.
    enablePlaybackControls();
    onStopClicked();
    onPlayClicked();
    StartControlsReadyTimer(*this);
    saving = true;
    const QString chosen = saveNameDialog ? saveNameDialog(this) : ShowSaveDialog(this);
    saving = false;
    if (chosen.isEmpty())
        return;
    recording::WaitForRecordingClosed(DownloadEndWait);
    const std::filesystem::path target = recording::SaveTarget(chosen.toStdString());
    if (const auto error = recording::SaveRecording(target))
        ShowErrorBox(QStringLiteral("The recording could not be saved as \"%1\": %2. It is kept in \"%3\".")
                         .arg(QString::fromStdString(target.string()), QString::fromStdString(*error),
                              QString::fromStdString(recording::RecordTempPath().string())),
                     this);
}
