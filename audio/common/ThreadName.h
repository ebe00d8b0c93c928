#pragma once
// Names the calling thread (15 characters at most), so that top, perf and the benchmarks' per-thread
// figures can tell the audio threads apart.
#include <pthread.h>

namespace tembrik::audio::common {

inline void nameThisThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}

} // namespace tembrik::audio::common
