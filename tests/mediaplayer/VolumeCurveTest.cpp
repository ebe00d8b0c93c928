#include "VolumeCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tembrik::mediaplayer::detail {
namespace {

// libmpv's software volume applies gain (volume / 100)^3.
double mpvGain(double mpvVolume) {
    return std::pow(mpvVolume / 100.0, 3.0);
}

TEST(VolumeCurveTest, EveryPositionGivesTheMainEnginesLinearGain) {
    for (int position = 0; position <= 100; ++position) {
        EXPECT_NEAR(mpvGain(mpvVolumeFor(position)), position / 100.0, 1e-9) << "position " << position;
    }
}

TEST(VolumeCurveTest, PositionsOutsideTheSliderAreClamped) {
    EXPECT_EQ(mpvVolumeFor(-20), 0.0);
    EXPECT_DOUBLE_EQ(mpvVolumeFor(250), 100.0);
}

} // namespace
} // namespace tembrik::mediaplayer::detail
