#pragma once
// The main engine's play request: a detached worker per request frees the previous stream, opens
// the URL, waits until the network buffer is filled past 75 %, reports the title, registers the
// metadata and end notifications, attaches the equalizer chain and starts playback. Everything it
// tells the main window goes through the status channel.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace playback {

// What the worker and the notifications need from the program besides the engine and the channel.
struct WorkerHooks {
    // The end notification of the current stream: on the library's thread, with how long the
    // stream played. The program reconnects from there.
    std::function<void(std::uint64_t request, std::chrono::milliseconds played)> streamEnded;
    // Every downloaded block of the current stream (header text with length 0, audio blocks, and a
    // final call with no buffer); on the library's download thread.
    std::function<void(std::uint64_t request, const char* buffer, std::size_t length)> downloaded;
    // Pause between two buffering reports; the default keeps the GUI responsive while it waits.
    std::chrono::milliseconds bufferingPollInterval{40};
    // A download that brings nothing for this long (longer than the library's own stall time-out)
    // ends the wait: the stream starts with what it has, and its end notification reconnects.
    std::chrono::milliseconds bufferingStallLimit{20000};
};

void SetWorkerHooks(WorkerHooks hooks); // GUI thread, before the first request

// Playback of the current stream has started: called on the worker's thread right after the play
// call, with the worker's request. GUI thread, before the first request.
void SetPlaybackStartedHook(std::function<void(std::uint64_t request)> hook);

// Starts a worker for the URL (cut to 255 characters) and returns its request number. Any
// earlier worker is outdated from now on: it stops before touching shared state again.
std::uint64_t StartStreamWorker(const std::string& url);

// The newest request number; a request is current while it equals this.
std::uint64_t CurrentRequest();

// Outdates every running worker without starting a new one (Stop, shutdown).
void CancelStreamWorkers();

// Blocks until no worker runs; false on time-out. Tests use it to let every worker finish.
bool WaitForStreamWorkers(std::chrono::milliseconds timeout);

} // namespace playback
