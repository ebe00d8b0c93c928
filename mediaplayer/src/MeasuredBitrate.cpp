#include "MeasuredBitrate.h"

#include <array>
#include <cmath>

namespace tembrik::mediaplayer::detail {

namespace {

// Encoder settings stations commonly use, in kbit/s.
constexpr std::array<int, 17> kUsualKbps{8,  16,  24,  32,  40,  48,  56,  64, 80,
                                         96, 112, 128, 160, 192, 224, 256, 320};
// How far a measurement may sit from a usual setting and still be shown as it (container overhead
// of HLS and ADTS is about 2 %).
constexpr double kSnapTolerance = 0.05;
// How far a measurement must move from the shown figure before the figure changes.
constexpr double kHysteresis = 0.10;

} // namespace

int MeasuredBitrate::nominalKbps(double kbps) {
    for (int usual : kUsualKbps) {
        if (std::abs(kbps - usual) <= usual * kSnapTolerance) {
            return usual;
        }
    }
    return static_cast<int>(std::lround(kbps));
}

int MeasuredBitrate::update(double bitsPerSecond) {
    if (!(bitsPerSecond > 0)) {
        reset();
        return shownKbps_;
    }
    if (++measurements_ == 1) {
        return shownKbps_;
    }
    const int candidate = nominalKbps(bitsPerSecond / 1000.0);
    if (candidate <= 0) {
        return shownKbps_;
    }
    if (shownKbps_ > 0 && std::abs(candidate - shownKbps_) <= shownKbps_ * kHysteresis) {
        return shownKbps_;
    }
    shownKbps_ = candidate;
    return shownKbps_;
}

} // namespace tembrik::mediaplayer::detail
