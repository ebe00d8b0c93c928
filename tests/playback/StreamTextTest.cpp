#include "playback/MediaStatusText.h"
#include "playback/ReconnectPolicy.h"
#include "playback/StreamTitle.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::chrono_literals;

TEST(StreamTitle, CutFromTheTagAsStationsSendIt) {
    const struct {
        const char* tag;
        std::optional<std::string> title;
    } cases[] = {
        {"StreamTitle='Artist - Song';StreamUrl='';", "Artist - Song"},
        {"StreamTitle='';", ""},
        {"StreamTitle='AB;C';", "A"},
        {"StreamUrl='x';StreamTitle='Song';", ""},
        {"StreamTitle='Song'", ""},
        {"StreamUrl='x';", std::nullopt},
        {"", std::nullopt},
        {"streamtitle='lower';", std::nullopt},
        {"StreamTitle=';", ""},
        {"StreamTitle='x';", "x"},
        {"StreamTitle=\"Quoted\";", "Quoted"},
        {"StreamTitle='It''s';", "It''s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        EXPECT_EQ(playback::CutStreamTitle(c.tag), c.title);
    }
}

TEST(StreamTitle, BytesAreUtf8WhenValidElseWindows1251) {
    EXPECT_EQ(playback::TitleText("Кино - Группа крови"), QString::fromUtf8("Кино - Группа крови"));
    EXPECT_EQ(playback::TitleText("\xCA\xE8\xED\xEE - \xC7\xE2\xE5\xE7\xE4\xE0"),
              QString::fromUtf8("Кино - Звезда"));
    EXPECT_EQ(playback::TitleText("Plain ASCII"), "Plain ASCII");
    EXPECT_EQ(playback::TitleText("Caf\xE9"), QString::fromUtf8("Cafй")); // 1251 has no é: 0xE9 is й
}

TEST(MediaStatusText, BitrateIsCutBetweenColonAndMarker) {
    const struct {
        const char* status;
        std::optional<const char*> shown;
    } cases[] = {
        {"Воспроизведение: 128 Кбит/с", "128 Кбит/с"},
        {"Подключение...", std::nullopt},
        {"Буферизация: 45%", std::nullopt},
        {"x128 Кбит/с", "128 Кбит/с"},         // no ": ": from the second character
        {"/с: later", "/с"},                   // no "/с" after ": "
        {"A: 64 Кбит/с, B: 1/с", "64 Кбит/с"}, // first of each
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const auto got = playback::BitrateFromStatus(QString::fromUtf8(c.status));
        ASSERT_EQ(got.has_value(), c.shown.has_value());
        if (got) {
            EXPECT_EQ(*got, QString::fromUtf8(*c.shown));
        }
    }
}

TEST(ReconnectPolicy, WaitsGrowWhileStreamsEndEarlyAndResetAfterALongPlay) {
    playback::ReconnectPolicy policy;
    const long long expected[] = {0, 1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (long long e : expected)
        EXPECT_EQ(policy.NextWait(200ms).count(), e);
    EXPECT_EQ(policy.NextWait(60s).count(), 0); // played long: reconnect at once
    EXPECT_EQ(policy.NextWait(1s).count(), 0);  // the first quick end after that: at once too
    EXPECT_EQ(policy.NextWait(1s).count(), 1000);
    policy.Reset();
    EXPECT_EQ(policy.NextWait(1s).count(), 0);
}
