#include "ToneMeter.h"

#include <cmath>
#include <numbers>

namespace tembrik::mediaplayer::test {

double toneAmplitude(std::span<const std::int16_t> samples, double frequency, int sampleRate) {
    if (samples.empty()) {
        return 0.0;
    }
    const double n = static_cast<double>(samples.size());
    const double omega = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(omega);
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (std::int16_t sample : samples) {
        const double current = sample / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power =
        previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / n;
}

} // namespace tembrik::mediaplayer::test
