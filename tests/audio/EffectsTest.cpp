// The effects' DSP on their own: the peaking band's response (designed and measured on samples),
// DirectX 8 parameter ranges with clamping, transparency at 0 dB, the reverb's bypass at -96 dB and
// its decay, and the lock-free parameter record under concurrent use.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "fx/Biquad.h"
#include "fx/ParamEq.h"
#include "fx/Reverb.h"
#include "support/AudioHelpers.h"

namespace tembrik::audio::fx {
namespace {

constexpr double kRate = 44100;
constexpr double kBandCentres[] = {80, 170, 310, 600, 1000, 3000, 7000, 12000, 14000, 16000};

TEST(PeakingEq, GainAtTheCentreIsExactlyTheRequestedGain) {
    for (double centre : kBandCentres) {
        for (double gain : {-15.0, -6.0, 3.0, 15.0}) {
            auto c = peakingEq(kRate, centre, 18.0 / 12.0, gain);
            EXPECT_NEAR(magnitudeDb(c, kRate, centre), gain, 1e-6) << centre << " Hz, " << gain << " dB";
        }
    }
}

TEST(PeakingEq, ThreeOctavesAwayIsWithinOneDecibel) {
    // Up to 7000 Hz; the top bands are squeezed against half the sampling rate and spread wider.
    for (double centre : {80.0, 170.0, 310.0, 600.0, 1000.0, 3000.0, 7000.0}) {
        auto c = peakingEq(kRate, centre, 18.0 / 12.0, 15.0);
        EXPECT_LT(std::fabs(magnitudeDb(c, kRate, centre / 8)), 1.0) << centre;
        if (centre * 8 < kRate / 2) {
            EXPECT_LT(std::fabs(magnitudeDb(c, kRate, centre * 8)), 1.0) << centre;
        }
    }
}

TEST(PeakingEq, HalfTheGainAtTheBandEdges) {
    for (double centre : {170.0, 1000.0}) {
        for (double semitones : {6.0, 18.0, 36.0}) {
            auto c = peakingEq(kRate, centre, semitones / 12.0, 12.0);
            double edge = std::pow(2.0, semitones / 24.0);
            EXPECT_NEAR(magnitudeDb(c, kRate, centre * edge), 6.0, 0.6) << centre << " " << semitones;
            EXPECT_NEAR(magnitudeDb(c, kRate, centre / edge), 6.0, 0.6) << centre << " " << semitones;
        }
    }
}

struct ClampCase {
    EqBandParams in;
    EqBandParams out;
};

TEST(ParamEq, OutOfRangeValuesAreClamped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ClampCase table[] = {
        {{1000, 18, 0}, {1000, 18, 0}},     {{10, 18, 0}, {80, 18, 0}},
        {{20000, 18, 0}, {16000, 18, 0}},   {{1000, 0.5f, 0}, {1000, 1, 0}},
        {{1000, 40, 0}, {1000, 36, 0}},     {{1000, 18, 25}, {1000, 18, 15}},
        {{1000, 18, -40}, {1000, 18, -15}}, {{nan, nan, nan}, {8000, 12, 0}},
    };
    ParamEq eq(1, kRate);
    for (const auto& c : table) {
        eq.set(c.in);
        auto got = eq.get();
        EXPECT_EQ(got.centerHz, c.out.centerHz);
        EXPECT_EQ(got.bandwidthSemitones, c.out.bandwidthSemitones);
        EXPECT_EQ(got.gainDb, c.out.gainDb);
    }
    ParamEq low(1, 22050); // centre kept below 0.45 of the rate
    low.set({16000, 12, 3});
    EXPECT_LE(low.get().centerHz, 22050 * 0.45f);
}

TEST(ParamEq, ZeroDecibelsIsBitTransparent) {
    ParamEq eq(1, kRate);
    eq.set({1000, 18, 0});
    auto in = test::sine(997, 0.3, 0.2, 44100);
    auto out = in;
    eq.process(out.data(), out.size() / 2);
    EXPECT_EQ(out, in);
}

TEST(ParamEq, MeasuredOnSamples) {
    ParamEq eq(1, kRate);
    eq.set({1000, 18, 15});
    for (double f : {1000.0, 125.0, 8000.0}) {
        auto signal = test::sine(f, 0.05, 1.0, 44100);
        eq.process(signal.data(), signal.size() / 2);
        std::span<const float> steady(signal.data() + 44100,
                                      signal.size() - 44100); // after the first half second
        double db = 20 * std::log10(test::toneAmplitude(steady, 0, f, kRate) / 0.05);
        if (f == 1000.0) {
            EXPECT_NEAR(db, 15.0, 0.1);
        } else {
            EXPECT_LT(std::fabs(db), 1.0) << f;
        }
    }
}

TEST(Reverb, AtMinus96DecibelsItPassesTheSignalUntouched) {
    Reverb reverb(1, kRate);
    ReverbParams p = reverb.get();
    p.reverbMixDb = -96;
    p.reverbTimeMs = 1500;
    p.highFreqRtRatio = 0.1f;
    reverb.set(p);
    auto in = test::sine(440, 0.5, 0.3, 44100);
    auto out = in;
    reverb.process(out.data(), out.size() / 2);
    EXPECT_EQ(out, in);
}

TEST(Reverb, DefaultsAndClamping) {
    Reverb reverb(1, kRate);
    auto d = reverb.get();
    EXPECT_EQ(d.inputGainDb, 0);
    EXPECT_EQ(d.reverbMixDb, 0);
    EXPECT_EQ(d.reverbTimeMs, 1000);
    EXPECT_FLOAT_EQ(d.highFreqRtRatio, 0.001f);
    reverb.set({10, -200, 5000, 2});
    auto c = reverb.get();
    EXPECT_EQ(c.inputGainDb, 0);
    EXPECT_EQ(c.reverbMixDb, -96);
    EXPECT_EQ(c.reverbTimeMs, 3000);
    EXPECT_FLOAT_EQ(c.highFreqRtRatio, 0.999f);
}

TEST(Reverb, AnAudibleMixLeavesADecayingTail) {
    Reverb reverb(1, kRate);
    reverb.set({0, 0, 500, 0.5f});
    std::vector<float> buf(44100 * 2, 0.0f);
    buf[0] = buf[1] = 1.0f; // a click
    reverb.process(buf.data(), buf.size() / 2);
    auto energy = [&](double from, double to) {
        std::span<const float> part(buf.data() + static_cast<std::size_t>(from * 44100) * 2,
                                    static_cast<std::size_t>((to - from) * 44100) * 2);
        return test::rms(part);
    };
    double early = energy(0.05, 0.15), late = energy(0.45, 0.55);
    EXPECT_GT(early, 1e-4);
    EXPECT_LT(20 * std::log10(late / early), -30); // about 60 dB per 500 ms: well down by then
}

TEST(ParamSlot, ReaderNeverSeesAHalfWrittenRecord) {
    ParamSlot<3> slot;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 20000; ++i)
            slot.store({float(i), float(i), float(i)});
        done = true;
    });
    std::uint32_t seen = 0;
    std::array<float, 3> v{};
    int reads = 0;
    while (!done.load() || reads == 0) {
        if (slot.loadIfChanged(v, seen)) {
            ++reads;
            ASSERT_EQ(v[0], v[1]);
            ASSERT_EQ(v[1], v[2]);
        }
    }
    writer.join();
    EXPECT_GT(reads, 0);
}

} // namespace
} // namespace tembrik::audio::fx
