// Second-order IIR sections: the peaking equalizer of the DirectX 8 parametric equalizer
// (centre, bandwidth in semitones, gain), designed after the Audio EQ Cookbook (R. Bristow-Johnson):
// exactly the requested gain at the centre, half of it (in dB) at the band's edges.
#pragma once

namespace tembrik::audio::fx {

struct BiquadCoefficients { // normalised: a0 = 1
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

BiquadCoefficients peakingEq(double sampleRate, double centerHz, double bandwidthOctaves, double gainDb);

// The filter's gain at `frequency`, in dB.
double magnitudeDb(const BiquadCoefficients& c, double sampleRate, double frequency);

// One channel's state (transposed direct form II, in double precision for the low bands).
struct BiquadState {
    double z1 = 0, z2 = 0;
    float process(const BiquadCoefficients& c, float in) {
        double x = in;
        double y = c.b0 * x + z1;
        z1 = c.b1 * x - c.a1 * y + z2;
        z2 = c.b2 * x - c.a2 * y;
        return static_cast<float>(y);
    }
};

} // namespace tembrik::audio::fx
