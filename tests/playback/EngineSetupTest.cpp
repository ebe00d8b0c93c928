#include "FakeAudio.h"

#include "playback/EngineSetup.h"

#include <gtest/gtest.h>

class EngineSetup : public ::testing::Test {
protected:
    void SetUp() override { playback::SetAudioForTesting(&audio); }
    void TearDown() override { playback::SetAudioForTesting(nullptr); }
    FakeAudio audio;
};

TEST_F(EngineSetup, OptionsAreSetOneByOneInTheirOrder) {
    playback::ConfigureEngine(3000);
    ASSERT_EQ(audio.optionHistory.size(), 6u);
    const auto& h = audio.optionHistory;
    EXPECT_EQ(h[0].playbackBufferMs, 500); // the fake's default is 500 too; the next ones change
    EXPECT_EQ(h[1].networkBufferMs, 5000);
    EXPECT_EQ(h[2].networkBufferMs, 3000);
    EXPECT_EQ(h[2].prebufferPercent, 75);
    EXPECT_EQ(h[3].prebufferPercent, 100);
    EXPECT_EQ(h[3].timeoutMs, 5000);
    EXPECT_EQ(h[4].timeoutMs, 17000);
    EXPECT_EQ(h[4].updateThreads, 1);
    const auto& o = h.back();
    EXPECT_TRUE(o.resolvePlaylists);
    EXPECT_EQ(o.playbackBufferMs, 500);
    EXPECT_EQ(o.networkBufferMs, 3000);
    EXPECT_EQ(o.prebufferPercent, 100);
    EXPECT_EQ(o.timeoutMs, 17000);
    EXPECT_EQ(o.updateThreads, 4);
    playback::ConfigureEngine(0);
    EXPECT_EQ(audio.Options().networkBufferMs, 0);
}

TEST_F(EngineSetup, ProxyOnlyWhenGivenAgentAlways) {
    playback::HandOverNetworkTexts("Agent/1", nullptr);
    ASSERT_EQ(audio.optionHistory.size(), 1u);
    EXPECT_EQ(audio.Options().proxy, "");
    EXPECT_EQ(audio.Options().userAgent, "Agent/1");

    audio.optionHistory.clear();
    playback::HandOverNetworkTexts("Agent/2", "127.0.0.1:3128");
    ASSERT_EQ(audio.optionHistory.size(), 2u);
    // The proxy first, then the agent.
    EXPECT_EQ(audio.optionHistory[0].proxy, "127.0.0.1:3128");
    EXPECT_EQ(audio.optionHistory[0].userAgent, "Agent/1");
    EXPECT_EQ(audio.optionHistory[1].userAgent, "Agent/2");
}

TEST_F(EngineSetup, ResetKeepsTheNetworkTextsAndDropsThePrebuffer) {
    playback::ConfigureEngine(3000);
    playback::HandOverNetworkTexts("Agent", "proxy:1");
    ASSERT_TRUE(playback::ReinitEngine());
    EXPECT_EQ(audio.frees, 1);
    EXPECT_EQ(audio.inits, 1);
    const auto o = audio.Options();
    EXPECT_EQ(o.prebufferPercent, 0);
    EXPECT_TRUE(o.resolvePlaylists);
    EXPECT_EQ(o.networkBufferMs, 3000);
    EXPECT_EQ(o.proxy, "proxy:1");
    EXPECT_EQ(o.userAgent, "Agent");
}

TEST_F(EngineSetup, ResetGivesUpAfterAFewFailedStarts) {
    audio.initResult = false;
    EXPECT_FALSE(playback::ReinitEngine());
    EXPECT_EQ(audio.inits, 3);
    EXPECT_EQ(audio.frees, 3);
}
