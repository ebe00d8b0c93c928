#include "fx/ParamEq.h"

#include <algorithm>
#include <cmath>

namespace tembrik::audio::fx {
namespace {

float clampFloat(float v, float lo, float hi, float fallback) {
    if (std::isnan(v))
        return fallback;
    return std::clamp(v, lo, hi);
}

} // namespace

ParamEq::ParamEq(int priority, double sampleRate) : Effect(priority), sampleRate_(sampleRate) {
    set(EqBandParams{});
}

EqBandParams ParamEq::clamp(const EqBandParams& p, double sampleRate) {
    EqBandParams c;
    const float maxCenter = std::min(16000.0f, static_cast<float>(sampleRate * 0.45));
    c.centerHz = clampFloat(p.centerHz, 80.0f, maxCenter, 8000.0f);
    c.bandwidthSemitones = clampFloat(p.bandwidthSemitones, 1.0f, 36.0f, 12.0f);
    c.gainDb = clampFloat(p.gainDb, -15.0f, 15.0f, 0.0f);
    return c;
}

void ParamEq::set(const EqBandParams& params) {
    current_ = clamp(params, sampleRate_);
    slot_.store({current_.centerHz, current_.bandwidthSemitones, current_.gainDb});
}

void ParamEq::process(float* stereo, std::size_t frames) {
    std::array<float, 3> p{};
    if (slot_.loadIfChanged(p, seen_)) {
        bypass_ = p[2] == 0.0f;
        if (!bypass_)
            coefficients_ = peakingEq(sampleRate_, p[0], p[1] / 12.0, p[2]);
    }
    if (bypass_) {
        left_ = {};
        right_ = {};
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        stereo[2 * i] = left_.process(coefficients_, stereo[2 * i]);
        stereo[2 * i + 1] = right_.process(coefficients_, stereo[2 * i + 1]);
    }
}

} // namespace tembrik::audio::fx
