#pragma once
// Bringing the main engine up, its options, and the reset after a stream could not be opened.
#include <string>

namespace playback {

// Start-up: the engine on the default output. False when no sound server can be reached.
bool InitEngine();
void FreeEngine();

// Start-up: the options for streams opened later; bufferMs is the "buffer" setting in ms.
void ConfigureEngine(int bufferMs);

// Start-up: the user agent always, the proxy only when given (a text not starting with ".").
void HandOverNetworkTexts(const char* agent, const char* proxy);

// Frees and re-initialises the engine, trying a few times; false when every attempt failed.
// Streams opened after a reset do not wait for a pre-buffer.
bool ReinitEngine();

} // namespace playback
