#include "fx/Biquad.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace tembrik::audio::fx {

BiquadCoefficients peakingEq(double sampleRate, double centerHz, double bandwidthOctaves, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * std::numbers::pi * centerHz / sampleRate;
    const double sinW0 = std::sin(w0);
    const double cosW0 = std::cos(w0);
    const double alpha = sinW0 * std::sinh(std::numbers::ln2 / 2.0 * bandwidthOctaves * w0 / sinW0);
    const double a0 = 1.0 + alpha / a;
    BiquadCoefficients c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = (-2.0 * cosW0) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = (-2.0 * cosW0) / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

double magnitudeDb(const BiquadCoefficients& c, double sampleRate, double frequency) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * frequency / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

} // namespace tembrik::audio::fx
