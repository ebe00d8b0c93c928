#pragma once

namespace tembrik::mediaplayer::detail {

// The value for libmpv's "volume" property that makes slider position 0..100 as loud as the main
// engine makes it.
double mpvVolumeFor(int sliderPosition);

} // namespace tembrik::mediaplayer::detail
