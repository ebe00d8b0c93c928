// The engine steps of opening a station: stopping and starting the second media player and
// stopping the main engine's current stream, in their place in the sequence.
#include "MainWindow.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/StreamWorker.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

void MainWindow::stopSecondPlayer() {
    // A player never created has nothing to stop.
    if (secondPlayer)
        secondPlayer->stop();
}

void MainWindow::startSecondPlayer(const QString& url) {
    // A main-engine worker still connecting would report its failure later and reset the engines
    // under the second player: outdate it.
    playback::CancelStreamWorkers();
    ensureSecondPlayer().setUrl(url);
    ensureSecondPlayer().play();
}

void MainWindow::stopMainChannel() {
    playback::Audio().ChannelStop(State().StreamHandle);
    emit playingChanged(false);
}
