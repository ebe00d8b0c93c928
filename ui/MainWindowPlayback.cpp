// Playback on the main window: the play request, the status reports of workers and the engine,
// the busy and ready states, the playback commands, volume and mute, the second media player's
// status line, the now-playing label, and the engine operations of the start-up sequence.
#include "MainWindow.h"

#include "ErrorBox.h"
#include "MainWindowRecording.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"
#include "widgets/LogoGrid.h"
#include "widgets/ShadowLabel.h"
#include "widgets/SkinSlider.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/EngineSetup.h"
#include "playback/Equalizer.h"
#include "playback/MediaStatusText.h"
#include "playback/ReconnectPolicy.h"
#include "playback/StatusChannel.h"
#include "playback/StreamWorker.h"
#include "tembrik/mediaplayer/MediaPlayer.h"
#include "tembrik/platform/Cp1251.h"
#include "tembrik/platform/ProgramDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

using tembrik::mediaplayer::PlayState;

void MainWindow::loadAudioAddOns() {
    // The engine decodes AAC, HE-AAC and WMA itself; there are no add-ons to load.
}

bool MainWindow::initAudioEngine() {
    playback::SetWorkerHooks({
        .streamEnded =
            [this](std::uint64_t request, std::chrono::milliseconds played) {
                QMetaObject::invokeMethod(
                    this, [this, request, played] { streamEnded(request, played.count()); },
                    Qt::QueuedConnection);
            },
        .downloaded = RecordingDownloadRoutine(this),
    });
    playback::SetPlaybackStartedHook([this](std::uint64_t request) {
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                if (request == playback::CurrentRequest())
                    emit playingChanged(true);
            },
            Qt::QueuedConnection);
    });
    return playback::InitEngine();
}

void MainWindow::freeAudioEngine() {
    MainStatusChannel().close();
    playback::CancelStreamWorkers();
    playback::FreeEngine();
}

void MainWindow::resetAudioEngine() {
    nowPlaying->setCaption("No signal");
    playback::Audio().ChannelStop(State().StreamHandle);
    stopSecondPlayer();
    State().StatusReceiver = this;
    if (!playback::ReinitEngine()) {
        // Without a sound output there is nothing the program can do; say why rather than vanish.
        std::fputs("tembrik: no sound output could be opened (is a sound server running?)\n", stderr);
        std::_Exit(1);
    }
}

void MainWindow::configureEngine() {
    playback::ConfigureEngine(State().BufferMs);
}

void MainWindow::loadEqualizer() {
    playback::LoadEqualizer(tembrik::platform::programDir());
}

void MainWindow::attachEffectChain() {
    playback::AttachEffectChain(State().StreamHandle);
}

void MainWindow::setStreamVolume(float volume) {
    playback::Audio().ChannelSetVolume(State().StreamHandle, volume);
}

void MainWindow::handOverNetworkTexts(bool withProxy) {
    const PlayerState& s = State();
    playback::HandOverNetworkTexts(s.AgentText.data(), withProxy ? s.ProxyText.data() : nullptr);
}

void MainWindow::connectCurrentStation() {
    PlayerState& s = State();
    if (s.UseSecondPlayer.get() == "1") {
        ensureSecondPlayer().setUrl(QString::fromStdString(s.CurrentUrl.get()));
        ensureSecondPlayer().play();
        return;
    }
    playback::StartStreamWorker(s.CurrentUrl.get());
}

void MainWindow::handleStatus(const StatusReport& report) {
    switch (report.code) {
    case StatusConnecting:
        emit playingChanged(false);
        nowPlaying->setCaption("Connection...");
        if (!controlsReadyTimer->isActive())
            controlsReadyTimer->start();
        disablePlaybackControls();
        break;
    case StatusFailed:
        emit playingChanged(false);
        nowPlaying->setCaption("Stopped");
        resetAudioEngine();
        enablePlaybackControls();
        if (autoReconnectRequest_ != 0 && autoReconnectRequest_ == playback::CurrentRequest())
            scheduleReconnect(reconnect_->NextWait(std::chrono::milliseconds(0)));
        break;
    case StatusBuffering:
        nowPlaying->setCaption(QString::asprintf("Buffering... %d%%", report.value));
        disablePlaybackControls();
        break;
    case StatusTitle:
        if (State().RecordState == 0) {
            nowPlaying->setCaption(report.text);
            enablePlaybackControls();
        } else if (State().RecordState == 2 && nowPlaying->text() != "Recording: " + report.text) {
            nowPlaying->setCaption("Recording: " + report.text);
        }
        break;
    case StatusHeaders:
        break;
    }
}

void MainWindow::disablePlaybackControls() {
    playButton->setEnabled(false);
    stopButton->setEnabled(false);
    stationGrid->setColumnsEnabled(false);
    favouritesGrid->setColumnsEnabled(false);
}

void MainWindow::enablePlaybackControls() {
    playButton->setEnabled(true);
    stopButton->setEnabled(true);
    stationGrid->setColumnsEnabled(true);
    favouritesGrid->setColumnsEnabled(true);
}

void MainWindow::controlsReadyTimeout() {
    if (State().RecordState == 0)
        enablePlaybackControls();
    controlsReadyTimer->stop();
}

void MainWindow::streamEnded(unsigned long long request, long long playedMs) {
    if (request != playback::CurrentRequest())
        return;
    emit playingChanged(false);
    scheduleReconnect(reconnect_->NextWait(std::chrono::milliseconds(playedMs)));
}

void MainWindow::scheduleReconnect(std::chrono::milliseconds wait) {
    const auto reconnect = [this] {
        connectCurrentStation();
        autoReconnectRequest_ = playback::CurrentRequest();
    };
    if (wait.count() == 0) {
        reconnect();
        return;
    }
    // Nothing is connecting until the wait is over.
    nowPlaying->setCaption("No signal");
    // A newer play request or a choice of the user's (a station on the second player starts no
    // request) makes this retry stale.
    const auto request = playback::CurrentRequest();
    QTimer::singleShot(wait, this, [this, request, choices = userChoices_, reconnect] {
        if (request == playback::CurrentRequest() && choices == userChoices_)
            reconnect();
    });
}

void MainWindow::cancelPendingReconnect() {
    ++userChoices_;
    autoReconnectRequest_ = 0;
    reconnect_->Reset();
}

void MainWindow::onPlayClicked() {
    cancelPendingReconnect();
    connectCurrentStation();
}

void MainWindow::onStopClicked() {
    cancelPendingReconnect();
    stopSecondPlayer();
    // Outdates a worker still connecting, so Stop stays stopped.
    playback::CancelStreamWorkers();
    playback::Audio().ChannelStop(State().StreamHandle);
    playback::Audio().StreamFree(State().StreamHandle);
    emit playingChanged(false);
}

void MainWindow::volumeChanged() {
    const int p = volumeSlider->value();
    PlayerState& s = State();
    s.VolumePosition = p;
    mediaPlayerVolume_ = p;
    if (secondPlayer)
        secondPlayer->setVolume(p);
    playback::Audio().ChannelSetVolume(s.StreamHandle, static_cast<float>(p) / 100.0f);
    volumeLabel->setCaption(QString::number(p));
    if (p > 0)
        s.Muted = 0;
}

void MainWindow::toggleMute() {
    PlayerState& s = State();
    try {
        if (s.Muted == 0) {
            s.VolumeBeforeMute = volumeLabel->text().toInt();
            volumeSlider->setValue(0);
            muteIcon->setPicture(LoadProgramPicture("voloff.png"));
            s.Muted = 1;
            muteIcon->setHint("Mute Off");
        } else {
            volumeSlider->setValue(s.VolumeBeforeMute);
            muteIcon->setPicture(LoadProgramPicture("vol.png"));
            muteIcon->setHint("Mute On");
            s.Muted = 0;
        }
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}

void MainWindow::secondPlayerStatusChanged() {
    emit playingChanged(secondPlayer->playState() == PlayState::Playing);
    if (secondPlayer->playState() == PlayState::Stopped)
        return;
    const QString status = secondPlayer->status();
    nowPlaying->setCaption(status);
    if (const auto bitrate = playback::BitrateFromStatus(status)) {
        stationTitle->setToolTip(*bitrate);
        nowPlaying->setCaption(*bitrate);
    }
}

void MainWindow::copyNowPlaying(QMouseEvent*) {
    // Windows-1251 text for programs that read the clipboard as 8-bit text; Unicode for the rest.
    auto* mime = new QMimeData;
    const QString text = nowPlaying->text();
    mime->setText(text);
    mime->setData("text/plain;charset=windows-1251",
                  QByteArray::fromStdString(tembrik::platform::utf8ToCp1251(text.toStdString())));
    QGuiApplication::clipboard()->setMimeData(mime);
    ShowMessage("Название композиции сохранено в буфер.", this);
}

void MainWindow::underlineNowPlaying() {
    QFont f = nowPlaying->font();
    f.setUnderline(true);
    nowPlaying->setFont(f);
}

void MainWindow::plainNowPlaying() {
    QFont f = nowPlaying->font();
    f.setUnderline(false);
    nowPlaying->setFont(f);
}
