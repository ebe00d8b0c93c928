#include "VolumeCurve.h"

#include <algorithm>
#include <cmath>

namespace tembrik::mediaplayer::detail {

// The main engine scales samples by position / 100, a linear amplitude gain. libmpv's software
// volume cubes its setting (gain = (volume / 100)^3) so that the slider feels even to the ear.
// Handing libmpv the position unchanged would make 50 about 18 dB quieter here than on the main
// engine; the cube root of the linear gain makes both engines sound the same at every position.
double mpvVolumeFor(int sliderPosition) {
    const double gain = std::clamp(sliderPosition, 0, 100) / 100.0;
    return 100.0 * std::cbrt(gain);
}

} // namespace tembrik::mediaplayer::detail
