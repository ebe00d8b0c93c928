#include "Timings.h"

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tembrik/audio/Trace.h"

namespace tembrik::play {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_enabled{false};
Clock::time_point g_start; // written once by enableTimings() before g_enabled is set

// When the kernel started this process, on the steady clock (its start time is in clock ticks
// since boot; the boot-time clock gives now since boot).
Clock::time_point processStart() {
    const auto now = Clock::now();
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    timespec boot{};
    if (close == std::string::npos || clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return now;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    unsigned long long ticks = 0;
    if (!(fields >> ticks))
        return now;
    const double sinceBoot = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) * 1e-9;
    const double age = sinceBoot - static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(age));
}

void print(const char* step, Clock::time_point when) {
    const double ms = std::chrono::duration<double, std::milli>(when - g_start).count();
    std::fprintf(stderr, "timing %.1f %s\n", ms, step);
}

} // namespace

void enableTimings() {
    g_start = processStart();
    g_enabled.store(true, std::memory_order_release);
    print("process start", g_start);
    audio::setTraceSink(&print);
}

void stamp(const char* step) {
    if (g_enabled.load(std::memory_order_acquire))
        print(step, Clock::now());
}

} // namespace tembrik::play
