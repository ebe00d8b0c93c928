// Opt-in stamps of the steps that lead to a stream's first audio (connection made, first body
// bytes, format found, first block decoded), for tools that show where the time goes
// (tembrik-play --timings). Off unless a sink is set; the sink is called on the thread that took
// the step and must be quick and thread-safe.
#pragma once

#include <chrono>

namespace tembrik::audio {

using TraceSink = void (*)(const char* step, std::chrono::steady_clock::time_point when);

// Any thread; nullptr turns the stamps off.
void setTraceSink(TraceSink sink);

namespace detail {
void trace(const char* step, std::chrono::steady_clock::time_point when = std::chrono::steady_clock::now());
} // namespace detail

} // namespace tembrik::audio
