// Effects, volume and mixing measured on the decoded output (null output, captured): the
// equalizer band's response, transparency at 0 dB, how soon a change is heard, volume ramps,
// the reverb's -96 dB bypass, effect order and removal, two streams mixed.
#include <gtest/gtest.h>

#include <cmath>

#include "support/EngineFixture.h"

namespace tembrik::audio::test {
namespace {

using namespace std::chrono_literals;

constexpr double kRate = 44100;
constexpr double kAmplitude = 0.05; // -26 dBFS: +15 dB stays far from clipping

// One second each of 1000 Hz, 125 Hz (three octaves below) and 8000 Hz (three above).
const std::vector<double> kTones = {1000, 125, 8000};

std::string toneSequenceWav() {
    std::vector<float> all;
    for (double f : kTones) {
        auto part = sine(f, kAmplitude, 1.0, 44100);
        all.insert(all.end(), part.begin(), part.end());
    }
    return floatWav(all, 44100);
}

class Effects : public EngineTest {
protected:
    void serve(const std::string& path, const std::string& body, const std::string& type) {
        server.route(path, [body, type](Connection& c) {
            c.send(TestServer::httpHeader(200, type, static_cast<long long>(body.size())) + body);
        });
    }

    // Plays the tone sequence with `setUp` applied to the stream; returns the captured samples from
    // the first sound on.
    std::vector<float> playSequence(const std::function<void(StreamHandle)>& setUp) {
        serve("/tones.wav", toneSequenceWav(), "audio/wav");
        auto opened = engine.openUrl(server.url("/tones.wav"));
        EXPECT_TRUE(opened) << opened.error.text();
        if (!opened)
            return {};
        setUp(opened.stream);
        std::atomic<bool> ended{false};
        engine.onEnd(opened.stream, [&](const EndEvent&) { ended = true; });
        // Let the decoder fill most of the 2 s playback buffer first: these tests compare exact
        // samples, and a decoder thread descheduled on a busy machine would otherwise leave a gap
        // (the output plays silence rather than wait) right after the start.
        const std::uint64_t aheadBytes = 44100 * 8 * 3 / 2; // 1.5 s of float stereo
        EXPECT_TRUE(eventually(
            [&] { return engine.filePosition(opened.stream, Position::Current) >= aheadBytes; }, 10s));
        engine.play(opened.stream);
        EXPECT_TRUE(eventually([&] { return ended.load(); }, 15s));
        auto samples = capture.samples();
        std::size_t first = 0;
        while (first < samples.size() && samples[first] == 0.0f)
            ++first;
        first -= first % 2;
        first = first >= 2 ? first - 2 : 0; // every tone starts with an exact zero: sin(0)
        return std::vector<float>(samples.begin() + static_cast<std::ptrdiff_t>(first), samples.end());
    }

    // Level of tone k of the sequence, in dB relative to the source, from its middle half second.
    static double levelDb(const std::vector<float>& samples, std::size_t k) {
        std::size_t from = (k * 44100 + 11025) * 2;
        std::span<const float> middle(samples.data() + from, 22050 * 2);
        return 20 * std::log10(toneAmplitude(middle, 0, kTones[k], kRate) / kAmplitude);
    }
};

TEST_F(Effects, EqualizerBandRaisesItsCentreBy15dBAndLeavesThreeOctavesAwayAlone) {
    startEngine(2.0);
    auto samples = playSequence([&](StreamHandle s) {
        auto band = engine.addEffect(s, EffectType::ParametricEq, 1);
        ASSERT_TRUE(band);
        EXPECT_TRUE(engine.setParameters(band, EqBandParams{1000, 18, 15}));
    });
    ASSERT_GE(samples.size(), 3u * 44100 * 2);
    EXPECT_NEAR(levelDb(samples, 0), 15.0, 0.5);
    EXPECT_LT(std::fabs(levelDb(samples, 1)), 1.0);
    EXPECT_LT(std::fabs(levelDb(samples, 2)), 1.0);
}

TEST_F(Effects, ZeroDecibelBandsAndAQuietReverbAreTransparent) {
    startEngine(2.0);
    auto samples = playSequence([&](StreamHandle s) {
        // The player's chain: ten bands at 0 dB and a reverb at -96 dB.
        const float centres[] = {80, 170, 310, 600, 1000, 3000, 7000, 12000, 14000, 16000};
        for (float centre : centres) {
            auto band = engine.addEffect(s, EffectType::ParametricEq, 1);
            EXPECT_TRUE(engine.setParameters(band, EqBandParams{centre, 18, 0}));
        }
        auto reverb = engine.addEffect(s, EffectType::Reverb, 1);
        ReverbParams p;
        EXPECT_TRUE(engine.getParameters(reverb, p));
        p.reverbMixDb = -96;
        p.reverbTimeMs = 1500;
        p.highFreqRtRatio = 0.1f;
        EXPECT_TRUE(engine.setParameters(reverb, p));
    });
    ASSERT_GE(samples.size(), 3u * 44100 * 2);
    // Float PCM in, float out, unity everything: the very samples come out.
    auto source = sine(kTones[0], kAmplitude, 1.0, 44100);
    for (std::size_t i = 0; i < 44100 * 2; i += 997)
        ASSERT_EQ(samples[i], source[i]) << i;
    for (std::size_t k = 0; k < kTones.size(); ++k)
        EXPECT_NEAR(levelDb(samples, k), 0.0, 0.01);
}

TEST_F(Effects, ParameterChangeIsRenderedAtOnce) {
    startEngine(1.0);
    serve("/long.wav", floatWav(sine(1000, kAmplitude, 4.0, 44100), 44100), "audio/wav");
    auto opened = engine.openUrl(server.url("/long.wav"));
    ASSERT_TRUE(opened);
    auto band = engine.addEffect(opened.stream, EffectType::ParametricEq, 1);
    engine.setParameters(band, EqBandParams{1000, 18, 0});
    engine.play(opened.stream);
    ASSERT_TRUE(capture.waitForSound(22050, 0.04f, 5s));
    const auto changedAt = std::chrono::steady_clock::now();
    engine.setParameters(band, EqBandParams{1000, 18, 15});
    const std::size_t firstAfter = capture.frameAt(changedAt);
    ASSERT_TRUE(capture.waitForFrames(firstAfter + 44100 / 2, 5s));
    auto samples = capture.samples();
    // The next block rendered (at most 40 ms of audio later) is already 15 dB louder: with the output's
    // 100 ms queue the change is heard within 150 ms.
    std::span<const float> soon(samples.data() + (firstAfter + 1764 + 441) * 2, 882 * 2);
    EXPECT_GT(20 * std::log10(toneAmplitude(soon, 0, 1000, kRate) / kAmplitude), 13.0);
}

TEST_F(Effects, VolumeChangesAreRampedWithoutClicks) {
    startEngine(2.0);
    serve("/loud.wav", floatWav(sine(1000, 0.5, 3.0, 44100), 44100), "audio/wav");
    auto opened = engine.openUrl(server.url("/loud.wav"));
    ASSERT_TRUE(opened);
    EXPECT_EQ(engine.volume(opened.stream), 1.0f);
    engine.play(opened.stream);
    ASSERT_TRUE(capture.waitForSound(44100 / 4, 0.4f, 5s));
    EXPECT_TRUE(engine.setVolume(opened.stream, 0.25f));
    EXPECT_EQ(engine.volume(opened.stream), 0.25f);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(engine.setVolume(opened.stream, 7.0f)); // clamped to 1
    EXPECT_EQ(engine.volume(opened.stream), 1.0f);
    EXPECT_FALSE(engine.setVolume(opened.stream, std::nanf("")));
    std::this_thread::sleep_for(300ms);
    auto samples = capture.samples();
    // The quiet stretch: blocks of 10 ms whose peak is a quarter of the tone's.
    std::size_t runStart = 0, bestStart = 0, bestLength = 0;
    for (std::size_t block = 0; (block + 1) * 441 * 2 <= samples.size(); ++block) {
        float peak = 0;
        for (std::size_t i = block * 441 * 2; i < (block + 1) * 441 * 2; i += 2)
            peak = std::max(peak, std::fabs(samples[i]));
        if (peak < 0.12f || peak > 0.13f) {
            runStart = block + 1;
        } else if (block + 1 - runStart > bestLength) {
            bestLength = block + 1 - runStart;
            bestStart = runStart;
        }
    }
    ASSERT_GE(bestLength, 20u) << "no quiet stretch of 200 ms";
    std::span<const float> quiet(samples.data() + bestStart * 441 * 2, bestLength * 441 * 2);
    EXPECT_NEAR(toneAmplitude(quiet, 0, 1000, kRate), 0.125, 0.002);
    // A 1 kHz sine of amplitude 0.5 moves at most 0.071 per sample; a jump of the gain would not.
    float maxStep = 0;
    for (std::size_t i = 2; i < samples.size(); i += 2) {
        if (samples[i] == 0.0f || samples[i - 2] == 0.0f)
            continue; // edges of silence
        maxStep = std::max(maxStep, std::fabs(samples[i] - samples[i - 2]));
    }
    EXPECT_LT(maxStep, 0.075f);
}

TEST_F(Effects, HigherPriorityRunsFirstAndRemovedEffectsStop) {
    startEngine(2.0);
    auto samples = playSequence([&](StreamHandle s) {
        auto boost = engine.addEffect(s, EffectType::ParametricEq, 1);
        auto cut = engine.addEffect(s, EffectType::ParametricEq, 5);
        auto gone = engine.addEffect(s, EffectType::ParametricEq, 1);
        EXPECT_TRUE(engine.setParameters(boost, EqBandParams{1000, 18, 6}));
        EXPECT_TRUE(engine.setParameters(cut, EqBandParams{1000, 18, -3}));
        EXPECT_TRUE(engine.setParameters(gone, EqBandParams{1000, 18, 15}));
        EXPECT_TRUE(engine.removeEffect(gone));
        EXPECT_FALSE(engine.removeEffect(gone));
        EqBandParams p;
        EXPECT_FALSE(engine.getParameters(gone, p));
        EXPECT_TRUE(engine.getParameters(cut, p));
        EXPECT_EQ(p.gainDb, -3);
        ReverbParams r;
        EXPECT_FALSE(engine.getParameters(cut, r)) << "an equalizer handle is no reverb";
    });
    ASSERT_GE(samples.size(), 3u * 44100 * 2);
    EXPECT_NEAR(levelDb(samples, 0), 3.0, 0.2); // +6 and -3, the removed +15 not
}

TEST_F(Effects, TwoStreamsAreMixed) {
    startEngine(2.0);
    serve("/a.wav", floatWav(sine(500, 0.1, 2.0, 44100), 44100), "audio/wav");
    serve("/b.wav", floatWav(sine(3000, 0.1, 2.0, 44100), 44100), "audio/wav");
    auto a = engine.openUrl(server.url("/a.wav"));
    auto b = engine.openUrl(server.url("/b.wav"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.stream, b.stream);
    engine.play(a.stream);
    engine.play(b.stream);
    ASSERT_TRUE(capture.waitForSound(4410, 0.12f, 5s)); // louder than either alone
    std::this_thread::sleep_for(100ms);
    auto samples = capture.samples();
    std::span<const float> tail(samples.data() + samples.size() - 22050 * 2, 22050 * 2);
    EXPECT_NEAR(toneAmplitude(tail, 0, 500, kRate), 0.1, 0.01);
    EXPECT_NEAR(toneAmplitude(tail, 0, 3000, kRate), 0.1, 0.01);
}

} // namespace
} // namespace tembrik::audio::test
