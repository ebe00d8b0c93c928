#include "MainWindowFixture.h"

#include "app/PlayerState.h"
#include "playback/StatusChannel.h"
#include "playback/StreamWorker.h"
#include "tembrik/mediaplayer/MediaPlayer.h"
#include "ui/ErrorBox.h"
#include "ui/Unit1.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <fstream>

using tembrik::mediaplayer::PlayState;

class PlaybackWindow : public MainWindowFixture {
protected:
    PlaybackWindow() : MainWindowFixture("playback-window") {}

    void Report(StatusCode code, int value = 0, const QString& text = {}) {
        form->HandleStatus({code, value, text});
    }
};

TEST_F(PlaybackWindow, StatusReportsDriveTheLabelAndTheBusyState) {
    form->EnablePlaybackControls();
    Report(StatusConnecting);
    EXPECT_EQ(Label(), "Connection...");
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_TRUE(Busy());

    const struct {
        int fill;
        const char* text;
    } fills[] = {{42, "Buffering... 42%"}, {-3, "Buffering... -3%"}, {100, "Buffering... 100%"}};
    for (const auto& f : fills) {
        form->EnablePlaybackControls();
        Report(StatusBuffering, f.fill);
        EXPECT_EQ(Label(), f.text);
        EXPECT_TRUE(Busy());
    }

    Report(StatusTitle, 0, "Кино - Звезда");
    EXPECT_EQ(Label(), "Кино - Звезда");
    EXPECT_FALSE(Busy());

    Report(StatusHeaders, 0, "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(Label(), "Кино - Звезда");
    EXPECT_FALSE(Busy());

    // While a recording is being requested a title changes nothing.
    State().RecordState = 1;
    form->DisablePlaybackControls();
    Report(StatusTitle, 0, "Other");
    EXPECT_EQ(Label(), "Кино - Звезда");
    EXPECT_TRUE(Busy());
    State().RecordState = 0;
}

TEST_F(PlaybackWindow, AFailedOpenResetsTheEngineAndLeavesTheControlsReady) {
    State().StreamHandle = 9;
    const int inits = audio.inits;
    Report(StatusConnecting);
    Report(StatusFailed);
    EXPECT_EQ(Label(), "No signal");
    EXPECT_FALSE(Busy());
    EXPECT_EQ(audio.inits, inits + 1);
    EXPECT_TRUE(audio.called("stop 9"));
    EXPECT_EQ(audio.Options().prebufferPercent, 0);
}

TEST_F(PlaybackWindow, Timer2EndsABusyStateAndBufferingStartsAnotherOne) {
    form->Timer2->setInterval(30);
    Report(StatusConnecting);
    EXPECT_TRUE(Busy());
    ASSERT_TRUE(WaitFor([&] { return !form->Timer2->isActive(); }));
    EXPECT_FALSE(Busy());
    Report(StatusBuffering, 50);
    EXPECT_TRUE(Busy());
    // With a recording requested the tick leaves the controls alone.
    State().RecordState = 1;
    Report(StatusConnecting);
    ASSERT_TRUE(WaitFor([&] { return !form->Timer2->isActive(); }));
    EXPECT_TRUE(Busy());
}

TEST_F(PlaybackWindow, ThePlayRequestRunsAStationThroughToItsTitle) {
    audio.fills = {10, 50, 80};
    audio.tag = "StreamTitle='Artist - Song';StreamUrl='';";
    State().CurrentUrl.set("http://127.0.0.1:1/mp3");
    State().UseWmpEngine.set("0");
    form->sBitBtn2Click();
    ASSERT_TRUE(WaitFor([&] { return Label() == "Artist - Song"; }))
        << Label().toStdString() << " opened " << audio.openedUrls.size();
    EXPECT_FALSE(Busy());
    EXPECT_EQ(audio.openedUrls, (std::vector<std::string>{"http://127.0.0.1:1/mp3"}));
    EXPECT_TRUE(audio.called("play " + std::to_string(State().StreamHandle.load())));
}

TEST_F(PlaybackWindow, AStationForTheSecondPlayerStartsNoWorker) {
    State().CurrentUrl.set("http://127.0.0.1:1/hls.m3u8");
    State().UseWmpEngine.set("1");
    form->Button3Click();
    EXPECT_EQ(form->WindowsMediaPlayer1->url(), "http://127.0.0.1:1/hls.m3u8");
    EXPECT_TRUE(playback::WaitForStreamWorkers(std::chrono::milliseconds(0)));
    EXPECT_TRUE(audio.openedUrls.empty());

    State().StreamHandle = 4;
    form->sBitBtn3Click(); // Stop silences both engines
    EXPECT_EQ(form->WindowsMediaPlayer1->playState(), PlayState::Stopped);
    EXPECT_TRUE(audio.called("stop 4"));
    EXPECT_TRUE(audio.called("free 4"));
    EXPECT_EQ(State().StreamHandle.load(), 4u);
}

TEST_F(PlaybackWindow, VolumeReachesBothEnginesAndTheNumber) {
    State().StreamHandle = 3;
    form->sTrackBar1->setValue(60);
    EXPECT_EQ(form->RxLabel5->text(), "60");
    EXPECT_TRUE(audio.called("volume 3 0.60"));
    EXPECT_EQ(State().VolumePosition.load(), 60);
    // The second media player, created later for a station that needs it, starts at that volume.
    EXPECT_EQ(form->WindowsMediaPlayer1, nullptr);
    EXPECT_EQ(form->WindowsMediaPlayer().volume(), 60);
    form->sTrackBar1->setValue(30);
    EXPECT_EQ(form->WindowsMediaPlayer1->volume(), 30);
    form->sTrackBar1->setValue(250);
    EXPECT_EQ(form->sTrackBar1->value(), 100);
    EXPECT_EQ(form->RxLabel5->text(), "100");
}

TEST_F(PlaybackWindow, MuteAndUnmute) {
    State().StreamHandle = 3;
    form->sTrackBar1->setValue(40);
    form->Image2Click();
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    EXPECT_EQ(form->Image2->hint(), "Mute Off");
    EXPECT_EQ(State().Muted, 1);
    EXPECT_EQ(State().VolumeBeforeMute, 40);
    EXPECT_TRUE(audio.called("volume 3 0.00"));
    form->Image2Click();
    EXPECT_EQ(form->sTrackBar1->value(), 40);
    EXPECT_EQ(form->Image2->hint(), "Mute On");
    EXPECT_EQ(State().Muted, 0);

    // Muted, then the slider moves to 10: the picture still says muted and the next click mutes.
    form->Image2Click();
    form->sTrackBar1->setValue(10);
    EXPECT_EQ(State().Muted, 0);
    EXPECT_EQ(form->Image2->hint(), "Mute Off");
    form->Image2Click();
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    EXPECT_EQ(State().VolumeBeforeMute, 10);
    EXPECT_EQ(form->Image2->hint(), "Mute Off");
    EXPECT_EQ(State().Muted, 1);
}

TEST_F(PlaybackWindow, MuteAtZeroMakesNoVolumeCall) {
    State().StreamHandle = 3;
    form->sTrackBar1->setValue(0);
    audio.calls.clear();
    form->Image2Click();
    EXPECT_EQ(State().Muted, 1);
    form->Image2Click();
    EXPECT_EQ(State().Muted, 0);
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    for (const auto& c : audio.calls)
        EXPECT_EQ(c.rfind("volume", 0), std::string::npos) << c;
}

TEST_F(PlaybackWindow, AMissingSpeakerPictureIsAnErrorAfterTheSliderMoved) {
    std::filesystem::remove(dir.path() / "voloff.png");
    form->sTrackBar1->setValue(40);
    form->Image2Click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.front(), "File not found");
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    EXPECT_EQ(State().Muted, 0);
}

TEST_F(PlaybackWindow, PressingTheNowPlayingLineCopiesIt) {
    Report(StatusConnecting);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QGuiApplication::clipboard()->clear();
        messages.clear();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), form->RxLabel7->mapToGlobal(QPointF(2, 2)),
                          button, button, Qt::NoModifier);
        QApplication::sendEvent(form->RxLabel7, &press);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "Connection...");
        EXPECT_EQ(messages, QStringList{"Название композиции сохранено в буфер."});
    }
}

TEST_F(PlaybackWindow, HoverUnderlinesAndRestoresTheFont) {
    const QFont before = form->RxLabel7->font();
    form->RxLabel7MouseEnter();
    EXPECT_TRUE(form->RxLabel7->font().underline());
    form->RxLabel7MouseLeave();
    EXPECT_EQ(form->RxLabel7->font(), before);
}

TEST_F(PlaybackWindow, AStreamThatKeepsEndingIsRetriedWithGrowingWaits) {
    State().CurrentUrl.set("http://127.0.0.1:1/drops");
    State().UseWmpEngine.set("0");
    audio.fills = {90, 90, 90, 90};
    form->Button3Click();
    ASSERT_TRUE(playback::WaitForStreamWorkers(std::chrono::seconds(0)) ||
                WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(1)); }));
    // The first early end reconnects at once.
    form->StreamEnded(playback::CurrentRequest(), 200);
    ASSERT_TRUE(WaitFor([&] { return audio.openedUrls.size() == 2; }));
    WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(1)); });
    // The second waits a second, showing that there is no signal; a newer request cancels the wait.
    form->StreamEnded(playback::CurrentRequest(), 200);
    EXPECT_EQ(Label(), "No signal");
    QApplication::processEvents();
    EXPECT_EQ(audio.openedUrls.size(), 2u);
    form->sBitBtn3Click();
    WaitFor([] { return false; }, 1300);
    EXPECT_EQ(audio.openedUrls.size(), 2u);
}

TEST_F(PlaybackWindow, ChoosingASecondPlayerStationCancelsAPendingRetry) {
    // Station 3 goes to the second player, at an address nobody answers.
    std::ofstream(dir.path() / "Stations" / "play3.txt", std::ios::binary)
        << "http://127.0.0.1:1/second\r\nSecond\r\n1\r\n";
    State().CurrentUrl.set("http://127.0.0.1:1/drops");
    State().UseWmpEngine.set("0");
    audio.fills = {90, 90, 90};
    form->Button3Click();
    ASSERT_TRUE(WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(1)); }));
    form->StreamEnded(playback::CurrentRequest(), 200);
    ASSERT_TRUE(WaitFor([&] { return audio.openedUrls.size() == 2; }));
    WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(1)); });
    form->StreamEnded(playback::CurrentRequest(), 200); // a retry waits a second
    ASSERT_EQ(Label(), "No signal");

    // Each connection the second player starts shows its connecting text once.
    int connecting = 0;
    QString last;
    QObject::connect(&form->WindowsMediaPlayer(), &tembrik::mediaplayer::MediaPlayer::statusChanged,
                     form.get(), [&] {
                         const QString now = form->WindowsMediaPlayer1->status();
                         if (now != last && now == QString::fromUtf8("Подключение..."))
                             ++connecting;
                         last = now;
                     });
    form->NextGrid1SelectCell(2, 0);
    ASSERT_EQ(form->WindowsMediaPlayer1->url(), "http://127.0.0.1:1/second");
    // Well past the retry's second: the stale retry neither opened the old station nor restarted
    // the second player.
    WaitFor([] { return false; }, 2500);
    EXPECT_EQ(audio.openedUrls.size(), 2u);
    EXPECT_LE(connecting, 1);
    EXPECT_EQ(form->WindowsMediaPlayer1->url(), "http://127.0.0.1:1/second");
}

TEST_F(PlaybackWindow, TheSecondPlayersStatusReachesTheLabelsUnlessItIsStopped) {
    form->RxLabel6->setToolTip("128 Кбит/с");
    // A status without "/с" is shown whole and leaves the station label's hint alone.
    form->WindowsMediaPlayer().setUrl("file:///tmp/not-a-stream.mp3");
    ASSERT_TRUE(WaitFor([&] { return Label() == "Ошибка: неподдерживаемый адрес"; }))
        << Label().toStdString();
    EXPECT_EQ(form->RxLabel6->toolTip(), "128 Кбит/с");
    // Stopped: both labels keep what they show.
    form->RxLabel7->setCaption("Last title");
    form->WindowsMediaPlayer1->stop();
    ASSERT_TRUE(WaitFor([&] { return form->WindowsMediaPlayer1->playState() == PlayState::Stopped; }));
    form->WindowsMediaPlayer1StatusChange();
    QApplication::processEvents();
    EXPECT_EQ(Label(), "Last title");
    EXPECT_EQ(form->RxLabel6->toolTip(), "128 Кбит/с");
}
