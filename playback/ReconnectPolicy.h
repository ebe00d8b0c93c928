#pragma once
// When a stream ends, the station is reconnected. A server that accepts and at once closes would
// otherwise be hammered in a tight loop, so while streams keep ending soon after they started the
// waits grow: at once the first time, then 1, 2, 4 ... up to 30 seconds. A stream that played
// longer resets the wait. GUI thread only.
#include <chrono>

namespace playback {

class ReconnectPolicy {
public:
    static constexpr std::chrono::milliseconds ShortPlay{5000};
    static constexpr std::chrono::milliseconds MaxWait{30000};

    // The wait before reconnecting after a stream that played for `played`.
    std::chrono::milliseconds NextWait(std::chrono::milliseconds played);
    void Reset() { quickEnds_ = 0; }

private:
    int quickEnds_ = 0;
};

} // namespace playback
