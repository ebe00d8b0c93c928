// tembrik-play --timings: one line on standard error per step towards the first audio,
// "timing MS STEP", in milliseconds since the process started (the kernel's start time, so that
// loading the libraries counts).
#pragma once

namespace tembrik::play {

void enableTimings();         // also turns the audio library's stamps on
void stamp(const char* step); // no effect unless enabled; any thread

} // namespace tembrik::play
