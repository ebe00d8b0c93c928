#include "fx/Reverb.h"

#include <algorithm>
#include <cmath>

namespace tembrik::audio::fx {
namespace {

// Freeverb's tunings at 44100 Hz; the right channel's lines are a little longer.
constexpr int kCombTuning[4] = {1116, 1188, 1277, 1356};
constexpr int kAllPassTuning[2] = {556, 441};
constexpr int kStereoSpread = 23;
constexpr float kAllPassFeedback = 0.5f;
constexpr float kWetScale = 0.25f; // four combs summed

float clampFloat(float v, float lo, float hi, float fallback) {
    if (std::isnan(v))
        return fallback;
    return std::clamp(v, lo, hi);
}

float dbToGain(float db) {
    return std::pow(10.0f, db / 20.0f);
}

} // namespace

Reverb::Reverb(int priority, double sampleRate) : Effect(priority), sampleRate_(sampleRate) {
    const double scale = sampleRate / 44100.0;
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 4; ++i) {
            auto len = static_cast<std::size_t>((kCombTuning[i] + ch * kStereoSpread) * scale);
            combs_[ch][i].buffer.assign(std::max<std::size_t>(len, 1), 0.0f);
        }
        for (int i = 0; i < 2; ++i) {
            auto len = static_cast<std::size_t>((kAllPassTuning[i] + ch * kStereoSpread) * scale);
            allPasses_[ch][i].buffer.assign(std::max<std::size_t>(len, 1), 0.0f);
        }
    }
    set(ReverbParams{});
}

ReverbParams Reverb::clamp(const ReverbParams& p) {
    ReverbParams c;
    c.inputGainDb = clampFloat(p.inputGainDb, -96.0f, 0.0f, 0.0f);
    c.reverbMixDb = clampFloat(p.reverbMixDb, -96.0f, 0.0f, 0.0f);
    c.reverbTimeMs = clampFloat(p.reverbTimeMs, 0.001f, 3000.0f, 1000.0f);
    c.highFreqRtRatio = clampFloat(p.highFreqRtRatio, 0.001f, 0.999f, 0.001f);
    return c;
}

void Reverb::set(const ReverbParams& params) {
    current_ = clamp(params);
    slot_.store(
        {current_.inputGainDb, current_.reverbMixDb, current_.reverbTimeMs, current_.highFreqRtRatio});
}

void Reverb::configure(const std::array<float, 4>& p) {
    inputGain_ = dbToGain(p[0]);
    bool wasActive = active_;
    active_ = p[1] > -96.0f;
    mix_ = active_ ? dbToGain(p[1]) * kWetScale : 0.0f;
    if (!active_) {
        if (wasActive)
            clearTails();
        return;
    }
    const double t60 = p[2] / 1000.0;
    for (auto& channel : combs_) {
        for (auto& comb : channel) {
            const double delay = static_cast<double>(comb.buffer.size()) / sampleRate_;
            // Gain per trip for a 60 dB decay in t60; high frequencies decay in t60 x ratio.
            const double g = std::pow(10.0, -3.0 * delay / t60);
            const double gHigh = std::pow(10.0, -3.0 * delay / (t60 * p[3]));
            const double r = g > 0 ? gHigh / g : 0.0; // wanted loop gain at Nyquist relative to DC
            comb.feedback = static_cast<float>(g);
            comb.damp = static_cast<float>((1.0 - r) / (1.0 + r));
        }
    }
}

void Reverb::clearTails() {
    for (auto& channel : combs_) {
        for (auto& comb : channel) {
            std::fill(comb.buffer.begin(), comb.buffer.end(), 0.0f);
            comb.store = 0;
        }
    }
    for (auto& channel : allPasses_) {
        for (auto& ap : channel)
            std::fill(ap.buffer.begin(), ap.buffer.end(), 0.0f);
    }
}

void Reverb::process(float* stereo, std::size_t frames) {
    std::array<float, 4> p{};
    if (slot_.loadIfChanged(p, seen_))
        configure(p);
    if (!active_) {
        if (inputGain_ != 1.0f) {
            for (std::size_t i = 0; i < frames * 2; ++i)
                stereo[i] *= inputGain_;
        }
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            const float in = stereo[2 * i + static_cast<std::size_t>(ch)] * inputGain_;
            float wet = 0.0f;
            for (auto& comb : combs_[ch]) {
                float out = comb.buffer[comb.pos];
                comb.store = out * (1.0f - comb.damp) + comb.store * comb.damp;
                comb.buffer[comb.pos] = in + comb.store * comb.feedback;
                if (++comb.pos == comb.buffer.size())
                    comb.pos = 0;
                wet += out;
            }
            for (auto& ap : allPasses_[ch]) {
                float delayed = ap.buffer[ap.pos];
                float out = delayed - wet;
                ap.buffer[ap.pos] = wet + delayed * kAllPassFeedback;
                if (++ap.pos == ap.buffer.size())
                    ap.pos = 0;
                wet = out;
            }
            stereo[2 * i + static_cast<std::size_t>(ch)] = in + wet * mix_;
        }
    }
}

} // namespace tembrik::audio::fx
