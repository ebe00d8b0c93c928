#include "MeasuredBitrate.h"

#include <gtest/gtest.h>

#include <vector>

namespace tembrik::mediaplayer::detail {
namespace {

struct NominalCase {
    double kbps;
    int expected;
};

void PrintTo(const NominalCase& c, std::ostream* os) {
    *os << c.kbps << " kbit/s";
}

class NominalKbpsTest : public testing::TestWithParam<NominalCase> {};

TEST_P(NominalKbpsTest, SnapsOnlyNearAUsualSetting) {
    EXPECT_EQ(MeasuredBitrate::nominalKbps(GetParam().kbps), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, NominalKbpsTest,
                         testing::Values(NominalCase{128.0, 128}, NominalCase{131.8, 128},
                                         NominalCase{122.0, 128}, NominalCase{96.4, 96},
                                         NominalCase{63.1, 64}, NominalCase{320.5, 320},
                                         NominalCase{138.0, 138}, NominalCase{175.4, 175},
                                         NominalCase{500.2, 500}, NominalCase{0.4, 0}));

struct SequenceCase {
    const char* name;
    std::vector<double> bitsPerSecond;
    std::vector<int> shown;
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class MeasuredBitrateSequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(MeasuredBitrateSequenceTest, ShowsSteadyFigure) {
    MeasuredBitrate measured;
    std::vector<int> shown;
    for (double bps : GetParam().bitsPerSecond) {
        shown.push_back(measured.update(bps));
    }
    EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MeasuredBitrateSequenceTest,
    testing::Values(
        SequenceCase{"FirstMeasurementPassedOver", {119'000, 130'090, 131'309, 126'500}, {0, 128, 128, 128}},
        SequenceCase{"VbrWithinBandHolds", {1, 150'000, 158'000, 143'000}, {0, 150, 150, 150}},
        SequenceCase{"VbrLeavingBandMoves", {1, 150'000, 170'000, 171'000}, {0, 150, 170, 170}},
        SequenceCase{"UnknownStartsOver", {96'000, 96'000, 0, 64'000, 64'000}, {0, 96, 0, 0, 64}},
        SequenceCase{"NegativeIsUnknown", {48'000, -5, 48'000, 48'000}, {0, 0, 0, 48}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

} // namespace
} // namespace tembrik::mediaplayer::detail
