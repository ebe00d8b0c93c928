#include "tembrik/audio/Trace.h"

#include <atomic>

namespace tembrik::audio {
namespace {

std::atomic<TraceSink> g_sink{nullptr}; // any thread

} // namespace

void setTraceSink(TraceSink sink) {
    g_sink.store(sink, std::memory_order_release);
}

namespace detail {

void trace(const char* step, std::chrono::steady_clock::time_point when) {
    if (TraceSink sink = g_sink.load(std::memory_order_acquire))
        sink(step, when);
}

} // namespace detail
} // namespace tembrik::audio
