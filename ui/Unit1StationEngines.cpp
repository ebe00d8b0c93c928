// The engine steps of opening a station: stopping and starting the second media player and
// stopping the main engine's current stream, in their place in the sequence.
#include "Unit1.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/StreamWorker.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

void TForm1::StopAlternativeEngine() {
    // A player never created has nothing to stop.
    if (WindowsMediaPlayer1)
        WindowsMediaPlayer1->stop();
}

void TForm1::StartAlternativeEngine(const QString& url) {
    // A main-engine worker still connecting would report its failure later and reset the engines
    // under the second player: outdate it.
    playback::CancelStreamWorkers();
    WindowsMediaPlayer().setUrl(url);
    WindowsMediaPlayer().play();
}

void TForm1::StopMainChannel() {
    playback::Audio().ChannelStop(State().StreamHandle);
    emit PlayingChanged(false);
}
