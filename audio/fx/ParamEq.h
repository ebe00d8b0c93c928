// One band of the DirectX 8 parametric equalizer: a peaking filter on both channels.
// Ranges: centre 80..16000 Hz (and below 0.45 of the output rate), bandwidth 1..36 semitones,
// gain -15..+15 dB; values outside are clamped, and a gain of exactly 0 dB passes the audio untouched.
#pragma once

#include "fx/Biquad.h"
#include "fx/Effect.h"
#include "tembrik/audio/Engine.h"

namespace tembrik::audio::fx {

class ParamEq final : public Effect {
public:
    ParamEq(int priority, double sampleRate);

    static EqBandParams clamp(const EqBandParams& params, double sampleRate);

    // Control side; callers serialise these.
    void set(const EqBandParams& params);
    EqBandParams get() const { return current_; }

    void process(float* stereo, std::size_t frames) override;

private:
    const double sampleRate_;
    EqBandParams current_; // control side (serialised by the engine's mutex)
    ParamSlot<3> slot_;
    // Audio thread only.
    std::uint32_t seen_ = 0;
    bool bypass_ = true;
    BiquadCoefficients coefficients_;
    BiquadState left_, right_;
};

} // namespace tembrik::audio::fx
