#include "FakeAudio.h"

#include "app/PlayerState.h"
#include "playback/Equalizer.h"
#include "tembrik/platform/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

class EqualizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayerState();
        playback::SetAudioForTesting(&audio);
        dir = fs::temp_directory_path() / ("tembrik-eq-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        playback::SetAudioForTesting(nullptr);
        fs::remove_all(dir);
    }
    void WriteBands(const std::string& bytes) {
        std::ofstream(dir / "equalizer.txt", std::ios::binary) << bytes;
    }
    static std::string Lines(const std::vector<int>& v) {
        std::string s;
        for (int x : v)
            s += std::to_string(x) + "\r\n";
        return s;
    }
    // Gains the stored bands gave to the chain of a new stream, band 1 first.
    std::vector<float> GainsOnNewStream() {
        const auto chain = playback::CreateEffectChain(1);
        playback::ApplyStoredBands(chain);
        std::vector<float> gains;
        for (auto fx : chain.bands) {
            const auto& set = audio.effects.at(fx).gainsSet;
            gains.push_back(set.empty() ? NAN : set.back());
        }
        return gains;
    }

    FakeAudio audio;
    fs::path dir;
};

TEST_F(EqualizerTest, ChainHasTenBandsAndAnInaudibleReverb) {
    const auto chain = playback::CreateEffectChain(5);
    for (std::size_t k = 0; k < 10; ++k) {
        const auto& fx = audio.effects.at(chain.bands[k]);
        EXPECT_EQ(fx.type, playback::FxType::ParamEq);
        EXPECT_EQ(fx.stream, 5u);
        EXPECT_EQ(fx.eq.Center, playback::BandCentres[k]);
        EXPECT_EQ(fx.eq.Bandwidth, 18.0f);
        EXPECT_EQ(fx.eq.Gain, 0.0f);
    }
    const auto& reverb = audio.effects.at(chain.reverb);
    EXPECT_EQ(reverb.type, playback::FxType::Reverb);
    EXPECT_EQ(reverb.reverb.ReverbMix, -96.0f);
    EXPECT_EQ(reverb.reverb.ReverbTime, 1500.0f);
    EXPECT_FLOAT_EQ(reverb.reverb.HighFreqRTRatio, 0.1f);
    EXPECT_EQ(reverb.reverb.InGain, 0.0f); // left at the engine's default
    // No stream: every effect call fails and the handles stay 0.
    const auto none = playback::CreateEffectChain(0);
    EXPECT_EQ(none.reverb, 0u);
    for (auto fx : none.bands)
        EXPECT_EQ(fx, 0u);
}

TEST_F(EqualizerTest, StoredPositionsBecomeGainsOnlyWhenTheEqualizerIsOn) {
    const struct {
        const char* name;
        std::vector<int> positions;
        int enabled;
        std::vector<float> gains; // empty: none applied
    } cases[] = {
        {"all top", std::vector<int>(10, 0), 1, std::vector<float>(10, 15)},
        {"all bottom", std::vector<int>(10, 30), 1, std::vector<float>(10, -15)},
        {"flat", std::vector<int>(10, 15), 1, std::vector<float>(10, 0)},
        {"out of range is passed on",
         {15, 15, 40, 15, 15, 15, 15, 15, 15, 15},
         1,
         {0, 0, -25, 0, 0, 0, 0, 0, 0, 0}},
        {"2 is not on", std::vector<int>(10, 0), 2, {}},
        {"off", std::vector<int>(10, 0), 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBands(Lines(c.positions));
        playback::LoadEqualizer(dir);
        for (std::size_t k = 0; k < 10; ++k)
            EXPECT_EQ(State().EqualizerBands[k].load(), c.positions[k]);
        State().EqualizerEnabled = c.enabled;
        const auto gains = GainsOnNewStream();
        for (std::size_t k = 0; k < 10; ++k) {
            if (c.gains.empty()) {
                EXPECT_TRUE(std::isnan(gains[k])) << "band " << k + 1;
            } else {
                EXPECT_EQ(gains[k], c.gains[k]) << "band " << k + 1;
            }
        }
    }
}

TEST_F(EqualizerTest, ABrokenFileStopsReadingAndKeepsWhatWasRead) {
    const struct {
        const char* name;
        std::string bytes;
        const char* error;
        int readBands;
    } cases[] = {
        {"short", "1\r\n2\r\n3\r\n", "'' is not a valid integer value", 3},
        {"text", "1\r\nloud\r\n3\r\n", "'loud' is not a valid integer value", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetPlayerState();
        WriteBands(c.bytes);
        try {
            playback::LoadEqualizer(dir);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(State().EqualizerBands[static_cast<std::size_t>(k)].load(),
                      k < c.readBands ? k + 1 : 0);
    }
    fs::remove(dir / "equalizer.txt");
    EXPECT_THROW(playback::LoadEqualizer(dir), tembrik::platform::FileError);
}

TEST_F(EqualizerTest, SaveWritesTheFileThenTheStoredBands) {
    const std::array<int, 10> positions = {0, 3, 6, 9, 12, 15, 18, 21, 24, 30};
    playback::SaveEqualizer(dir, positions);
    std::ifstream in(dir / "equalizer.txt", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "0\r\n3\r\n6\r\n9\r\n12\r\n15\r\n18\r\n21\r\n24\r\n30\r\n");
    EXPECT_EQ(State().EqualizerBands[9].load(), 30);
    // A file that cannot be written leaves the stored bands as they were.
    fs::remove(dir / "equalizer.txt");
    fs::create_directory(dir / "equalizer.txt");
    EXPECT_THROW(playback::SaveEqualizer(dir, std::array<int, 10>{}), tembrik::platform::FileError);
    EXPECT_EQ(State().EqualizerBands[9].load(), 30);
}

TEST_F(EqualizerTest, BandGainFromTheOptionsWindowKeepsCentreAndWidth) {
    playback::AttachEffectChain(3);
    playback::SetBandGain(5, 7);
    const auto& band5 = audio.effects.at(State().EqualizerFx[4]);
    EXPECT_EQ(band5.eq.Gain, 7.0f);
    EXPECT_EQ(band5.eq.Center, 1000.0f);
    EXPECT_EQ(band5.eq.Bandwidth, 18.0f);
    playback::SetBandGain(0, 7); // no such band: nothing happens
    playback::SetBandGain(11, 7);
}
