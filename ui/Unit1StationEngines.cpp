// The engine steps of opening a station: stopping and starting the second media player and
// stopping the main engine's current stream, in their place in the sequence.
#include "Unit1.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

void TForm1::StopAlternativeEngine() {
    // A player never created has nothing to stop.
    if (WindowsMediaPlayer1)
        WindowsMediaPlayer1->stop();
}

void TForm1::StartAlternativeEngine(const QString& url) {
    WindowsMediaPlayer().setUrl(url);
    WindowsMediaPlayer().play();
}

void TForm1::StopMainChannel() {
    playback::Audio().ChannelStop(State().StreamHandle);
    emit PlayingChanged(false);
}

// The Options window's "Check for new versions" and "Start recent radio station" boxes are ticked
// again from CheckUpdates and OpenLast at every cell click; the boxes arrive with the Options window.
void TForm1::TickOptionsBoxesFromSettings() {}
