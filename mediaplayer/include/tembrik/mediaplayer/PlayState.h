#pragma once

namespace tembrik::mediaplayer {

// States numbered as the desktop media player control the program was designed around numbers them,
// so callers that compare with those numbers (1 = stopped) keep working. Only the states this player
// can reach are listed.
enum class PlayState : int {
    Undefined = 0,     // nothing opened yet
    Stopped = 1,       // stopped by stop(), or by setting an empty URL
    Playing = 3,       // sound is coming out
    Buffering = 6,     // opened, waiting for the cache to fill
    MediaEnded = 8,    // the stream ended by itself
    Transitioning = 9, // connecting to the address, opening the stream
    Ready = 10,        // idle after a failure: not stopped by the user, so the error text is worth showing
};

} // namespace tembrik::mediaplayer
