#pragma once

#include <cstdint>
#include <span>

namespace tembrik::mediaplayer::test {

// Amplitude, as a fraction of full scale, of the sine at `frequency` in signed 16-bit mono samples
// (Goertzel's algorithm). Other sounds on the same sink hardly touch it, so a test can measure what
// its own player plays while other tests play something else.
double toneAmplitude(std::span<const std::int16_t> samples, double frequency, int sampleRate);

} // namespace tembrik::mediaplayer::test
