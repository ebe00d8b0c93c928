// The DirectX 8 reverb's parameters (input gain dB, reverb mix dB, reverb time ms, high-frequency
// reverb-time ratio) on a small Schroeder-Moorer reverberator: four damped feedback combs and two
// all-passes per channel. Output = input gain x (dry + mix x reverberation). At a mix of -96 dB
// (or below) the reverberator is not run at all: the effect costs one multiplication per sample,
// or nothing at 0 dB input gain.
#pragma once

#include <array>
#include <vector>

#include "fx/Effect.h"
#include "tembrik/audio/Engine.h"

namespace tembrik::audio::fx {

class Reverb final : public Effect {
public:
    Reverb(int priority, double sampleRate);

    static ReverbParams clamp(const ReverbParams& params);

    void set(const ReverbParams& params); // control side; callers serialise
    ReverbParams get() const { return current_; }

    void process(float* stereo, std::size_t frames) override;

private:
    struct Comb {
        std::vector<float> buffer;
        std::size_t pos = 0;
        float feedback = 0, damp = 0, store = 0;
    };
    struct AllPass {
        std::vector<float> buffer;
        std::size_t pos = 0;
    };
    void configure(const std::array<float, 4>& p);
    void clearTails();

    const double sampleRate_;
    ReverbParams current_; // control side
    ParamSlot<4> slot_;
    // Audio thread only.
    std::uint32_t seen_ = 0;
    float inputGain_ = 1.0f;
    float mix_ = 0.0f;
    bool active_ = false; // mix above -96 dB
    std::array<std::array<Comb, 4>, 2> combs_;
    std::array<std::array<AllPass, 2>, 2> allPasses_;
};

} // namespace tembrik::audio::fx
