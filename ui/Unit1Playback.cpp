// Playback on the main window: the play request, the status reports of workers and the engine,
// the busy and ready states, the playback commands, volume and mute, the second media player's
// status line, the now-playing label, and the engine operations of the start-up sequence.
#include "Unit1.h"

#include "ErrorBox.h"
#include "SkinnedWindow.h"
#include "Unit1Recording.h"
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

void TForm1::LoadAudioAddOns() {
    // The engine decodes AAC, HE-AAC and WMA itself; there are no add-ons to load.
}

bool TForm1::InitAudioEngine() {
    playback::SetWorkerHooks({
        .streamEnded =
            [this](std::uint64_t request, std::chrono::milliseconds played) {
                QMetaObject::invokeMethod(
                    this, [this, request, played] { StreamEnded(request, played.count()); },
                    Qt::QueuedConnection);
            },
        .downloaded = RecordingDownloadRoutine(this),
    });
    playback::SetPlaybackStartedHook([this](std::uint64_t request) {
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                if (request == playback::CurrentRequest())
                    emit PlayingChanged(true);
            },
            Qt::QueuedConnection);
    });
    return playback::InitEngine();
}

void TForm1::FreeAudioEngine() {
    MainStatusChannel().close();
    playback::CancelStreamWorkers();
    playback::FreeEngine();
}

void TForm1::ResetAudioEngine() {
    RxLabel7->setCaption("No signal");
    playback::Audio().ChannelStop(State().StreamHandle);
    StopAlternativeEngine();
    State().MainWindowHandle = this;
    if (!playback::ReinitEngine()) {
        // Without a sound output there is nothing the program can do; say why rather than vanish.
        std::fputs("tembrik: no sound output could be opened (is a sound server running?)\n", stderr);
        std::_Exit(1);
    }
}

void TForm1::ConfigureEngine() {
    playback::ConfigureEngine(State().BufferMs);
}

void TForm1::LoadEqualizer() {
    playback::LoadEqualizer(tembrik::platform::programDir());
}

void TForm1::AttachEffectChain() {
    playback::AttachEffectChain(State().StreamHandle);
}

void TForm1::SetStreamVolume(float volume) {
    playback::Audio().ChannelSetVolume(State().StreamHandle, volume);
}

void TForm1::HandOverNetworkTexts(bool withProxy) {
    const PlayerState& s = State();
    playback::HandOverNetworkTexts(s.AgentText.data(), withProxy ? s.ProxyText.data() : nullptr);
}

void TForm1::Button3Click() {
    PlayerState& s = State();
    if (s.UseWmpEngine.get() == "1") {
        WindowsMediaPlayer().setUrl(QString::fromStdString(s.CurrentUrl.get()));
        WindowsMediaPlayer().play();
        return;
    }
    playback::StartStreamWorker(s.CurrentUrl.get());
}

void TForm1::HandleStatus(const StatusReport& report) {
    switch (report.code) {
    case StatusConnecting:
        emit PlayingChanged(false);
        RxLabel7->setCaption("Connection...");
        if (!Timer2->isActive())
            Timer2->start();
        DisablePlaybackControls();
        break;
    case StatusFailed:
        emit PlayingChanged(false);
        RxLabel7->setCaption("Stopped");
        ResetAudioEngine();
        EnablePlaybackControls();
        if (autoReconnectRequest_ != 0 && autoReconnectRequest_ == playback::CurrentRequest())
            ScheduleReconnect(reconnect_->NextWait(std::chrono::milliseconds(0)));
        break;
    case StatusBuffering:
        RxLabel7->setCaption(QString::asprintf("Buffering... %d%%", report.value));
        DisablePlaybackControls();
        break;
    case StatusTitle:
        if (State().RecordState == 0) {
            RxLabel7->setCaption(report.text);
            EnablePlaybackControls();
        } else if (State().RecordState == 2 && RxLabel7->text() != "Recording: " + report.text) {
            RxLabel7->setCaption("Recording: " + report.text);
        }
        break;
    case StatusHeaders:
        break;
    }
}

void TForm1::DisablePlaybackControls() {
    sBitBtn2->setEnabled(false);
    sBitBtn3->setEnabled(false);
    NextGrid1->setColumnsEnabled(false);
    NextGrid2->setColumnsEnabled(false);
}

void TForm1::EnablePlaybackControls() {
    sBitBtn2->setEnabled(true);
    sBitBtn3->setEnabled(true);
    NextGrid1->setColumnsEnabled(true);
    NextGrid2->setColumnsEnabled(true);
}

void TForm1::Timer2Timer() {
    if (State().RecordState == 0)
        EnablePlaybackControls();
    Timer2->stop();
}

void TForm1::StreamEnded(unsigned long long request, long long playedMs) {
    if (request != playback::CurrentRequest())
        return;
    emit PlayingChanged(false);
    ScheduleReconnect(reconnect_->NextWait(std::chrono::milliseconds(playedMs)));
}

void TForm1::ScheduleReconnect(std::chrono::milliseconds wait) {
    const auto reconnect = [this] {
        Button3Click();
        autoReconnectRequest_ = playback::CurrentRequest();
    };
    if (wait.count() == 0) {
        reconnect();
        return;
    }
    // Nothing is connecting until the wait is over.
    RxLabel7->setCaption("No signal");
    // A newer play request or a choice of the user's (a station on the second player starts no
    // request) makes this retry stale.
    const auto request = playback::CurrentRequest();
    QTimer::singleShot(wait, this, [this, request, choices = userChoices_, reconnect] {
        if (request == playback::CurrentRequest() && choices == userChoices_)
            reconnect();
    });
}

void TForm1::CancelPendingReconnect() {
    ++userChoices_;
    autoReconnectRequest_ = 0;
    reconnect_->Reset();
}

void TForm1::sBitBtn2Click() {
    CancelPendingReconnect();
    Button3Click();
}

void TForm1::sBitBtn3Click() {
    CancelPendingReconnect();
    StopAlternativeEngine();
    // Outdates a worker still connecting, so Stop stays stopped.
    playback::CancelStreamWorkers();
    playback::Audio().ChannelStop(State().StreamHandle);
    playback::Audio().StreamFree(State().StreamHandle);
    emit PlayingChanged(false);
}

void TForm1::sTrackBar1Change() {
    const int p = sTrackBar1->value();
    PlayerState& s = State();
    s.VolumePosition = p;
    mediaPlayerVolume_ = p;
    if (WindowsMediaPlayer1)
        WindowsMediaPlayer1->setVolume(p);
    playback::Audio().ChannelSetVolume(s.StreamHandle, static_cast<float>(p) / 100.0f);
    RxLabel5->setCaption(QString::number(p));
    if (p > 0)
        s.Muted = 0;
}

void TForm1::Image2Click() {
    PlayerState& s = State();
    try {
        if (s.Muted == 0) {
            s.VolumeBeforeMute = RxLabel5->text().toInt();
            sTrackBar1->setValue(0);
            Image2->setPicture(LoadProgramPicture("voloff.png"));
            s.Muted = 1;
            Image2->setHint("Mute Off");
        } else {
            sTrackBar1->setValue(s.VolumeBeforeMute);
            Image2->setPicture(LoadProgramPicture("vol.png"));
            Image2->setHint("Mute On");
            s.Muted = 0;
        }
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}

void TForm1::WindowsMediaPlayer1StatusChange() {
    emit PlayingChanged(WindowsMediaPlayer1->playState() == PlayState::Playing);
    if (WindowsMediaPlayer1->playState() == PlayState::Stopped)
        return;
    const QString status = WindowsMediaPlayer1->status();
    RxLabel7->setCaption(status);
    if (const auto bitrate = playback::BitrateFromStatus(status)) {
        RxLabel6->setToolTip(*bitrate);
        RxLabel7->setCaption(*bitrate);
    }
}

void TForm1::RxLabel7MouseDown(QMouseEvent*) {
    // Windows-1251 text for programs that read the clipboard as 8-bit text; Unicode for the rest.
    auto* mime = new QMimeData;
    const QString text = RxLabel7->text();
    mime->setText(text);
    mime->setData("text/plain;charset=windows-1251",
                  QByteArray::fromStdString(tembrik::platform::utf8ToCp1251(text.toStdString())));
    QGuiApplication::clipboard()->setMimeData(mime);
    ShowMessage("Название композиции сохранено в буфер.", this);
}

void TForm1::RxLabel7MouseEnter() {
    QFont f = RxLabel7->font();
    f.setUnderline(true);
    RxLabel7->setFont(f);
}

void TForm1::RxLabel7MouseLeave() {
    QFont f = RxLabel7->font();
    f.setUnderline(false);
    RxLabel7->setFont(f);
}
