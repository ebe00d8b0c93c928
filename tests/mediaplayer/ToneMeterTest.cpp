#include "support/ToneMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tembrik::mediaplayer::test {
namespace {

constexpr int kRate = 44100;

std::vector<std::int16_t> mix(const std::vector<std::pair<double, double>>& tones, double noise) {
    std::vector<std::int16_t> samples(kRate / 10);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-noise, noise);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double value = spread(random);
        for (const auto& [hz, amplitude] : tones) {
            value += amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
        }
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
    }
    return samples;
}

struct ToneCase {
    const char* name;
    std::vector<std::pair<double, double>> tones;
    double noise;
    double expected;
};

void PrintTo(const ToneCase& c, std::ostream* os) {
    *os << c.name;
}

class ToneMeterTest : public testing::TestWithParam<ToneCase> {};

TEST_P(ToneMeterTest, MeasuresOnlyTheAskedTone) {
    const auto samples = mix(GetParam().tones, GetParam().noise);
    EXPECT_NEAR(toneAmplitude(samples, 2750.0, kRate), GetParam().expected, 0.004);
}

INSTANTIATE_TEST_SUITE_P(Table, ToneMeterTest,
                         testing::Values(ToneCase{"Alone", {{2750, 0.125}}, 0.0, 0.125},
                                         ToneCase{"Quiet", {{2750, 0.03125}}, 0.0, 0.03125},
                                         ToneCase{
                                             "BesideAnotherTone", {{2750, 0.125}, {1000, 0.5}}, 0.0, 0.125},
                                         ToneCase{"InNoise", {{2750, 0.125}}, 0.2, 0.125},
                                         ToneCase{"OnlyOtherSounds", {{1000, 0.5}, {3300, 0.3}}, 0.1, 0.0},
                                         ToneCase{"Silence", {}, 0.0, 0.0}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

} // namespace
} // namespace tembrik::mediaplayer::test
