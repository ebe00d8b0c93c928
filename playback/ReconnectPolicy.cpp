#include "ReconnectPolicy.h"

#include <algorithm>

namespace playback {

std::chrono::milliseconds ReconnectPolicy::NextWait(std::chrono::milliseconds played) {
    if (played >= ShortPlay) {
        quickEnds_ = 0;
        return std::chrono::milliseconds(0);
    }
    const int n = quickEnds_++;
    if (n == 0)
        return std::chrono::milliseconds(0);
    const int shift = std::min(n - 1, 5); // 1, 2, 4, 8, 16, 32 -> capped at 30 s
    return std::min(std::chrono::milliseconds(1000LL << shift), MaxWait);
}

} // namespace playback
