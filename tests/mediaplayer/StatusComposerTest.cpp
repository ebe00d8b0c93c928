#include "StatusComposer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tembrik::mediaplayer::detail {
namespace {

struct ComposerCase {
    std::string name;
    std::vector<PlayerEvent> events;
    PlayState state;
    QString text;
};

void PrintTo(const ComposerCase& c, std::ostream* os) {
    *os << c.name;
}

// A load of generation 1 whose entry is id 5, started and opened.
std::vector<PlayerEvent> opened(std::vector<PlayerEvent> tail = {}) {
    std::vector<PlayerEvent> events{LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5}, FileLoaded{}};
    events.insert(events.end(), tail.begin(), tail.end());
    return events;
}

const ComposerCase kCases[] = {
    {"NothingOpened", {}, PlayState::Undefined, ""},
    {"LoadRequested", {LoadRequested{1}}, PlayState::Transitioning, "Подключение..."},
    {"StartedNotLoaded",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5}},
     PlayState::Transitioning,
     "Подключение..."},
    {"LoadedButCoreIdle", opened(), PlayState::Transitioning, "Подключение..."},
    {"PausedForCache", opened({PausedForCacheChanged{true}, BufferingChanged{45}}), PlayState::Buffering,
     "Буферизация: 45%"},
    {"BufferingClampsPercent", opened({PausedForCacheChanged{true}, BufferingChanged{140}}),
     PlayState::Buffering, "Буферизация: 100%"},
    {"PlayingWithoutBitrate", opened({CoreIdleChanged{false}}), PlayState::Playing, "Воспроизведение"},
    {"PlayingWithStationBitrate", opened({CoreIdleChanged{false}, StationBitrateChanged{128}}),
     PlayState::Playing, "Воспроизведение: 128 Кбит/с"},
    {"DemuxerBitrateEstimateSnaps", opened({CoreIdleChanged{false}, DemuxerBitrateChanged{98'521}}),
     PlayState::Playing, "Воспроизведение: 96 Кбит/с"},
    {"DemuxerBitrateRounded", opened({CoreIdleChanged{false}, DemuxerBitrateChanged{137'600}}),
     PlayState::Playing, "Воспроизведение: 138 Кбит/с"},
    {"MeasuredBitrateSnapsToSetting",
     opened({CoreIdleChanged{false}, MeasuredBitrateChanged{119'000}, MeasuredBitrateChanged{130'900}}),
     PlayState::Playing, "Воспроизведение: 128 Кбит/с"},
    {"StationBitrateBeatsMeasured",
     opened({CoreIdleChanged{false}, MeasuredBitrateChanged{190'000}, MeasuredBitrateChanged{170'000},
             StationBitrateChanged{192}}),
     PlayState::Playing, "Воспроизведение: 192 Кбит/с"},
    {"DemuxerBitrateBeatsMeasured",
     opened({CoreIdleChanged{false}, MeasuredBitrateChanged{60'000}, MeasuredBitrateChanged{60'000},
             DemuxerBitrateChanged{64'000}}),
     PlayState::Playing, "Воспроизведение: 64 Кбит/с"},
    {"UnderrunBuffersAgain",
     opened({CoreIdleChanged{false}, StationBitrateChanged{128}, PausedForCacheChanged{true},
             CoreIdleChanged{true}, BufferingChanged{5}}),
     PlayState::Buffering, "Буферизация: 5%"},
    // libmpv releases the cache first and reports the running core afterwards.
    {"CacheReleasedBeforeCoreRuns",
     opened({PausedForCacheChanged{true}, BufferingChanged{91}, PausedForCacheChanged{false}}),
     PlayState::Buffering, "Буферизация: 91%"},
    {"CacheReleasedThenCoreRuns",
     opened({PausedForCacheChanged{true}, BufferingChanged{91}, PausedForCacheChanged{false},
             CoreIdleChanged{false}}),
     PlayState::Playing, "Воспроизведение"},
    {"Stopped", opened({CoreIdleChanged{false}, StopRequested{}}), PlayState::Stopped, "Остановлено"},
    {"StopBeforeAnyLoad", {StopRequested{}}, PlayState::Stopped, "Остановлено"},
    {"EventsAfterStopIgnored",
     opened({CoreIdleChanged{false}, StopRequested{}, FileEnded{5, EndReason::Stop, Failure::None},
             CoreIdleChanged{false}, FileLoaded{}}),
     PlayState::Stopped, "Остановлено"},
    {"DeadAddress",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Error, Failure::LoadingFailed}},
     PlayState::Ready,
     "Ошибка: не удалось открыть поток"},
    {"ErrorWithoutCode", opened({FileEnded{5, EndReason::Error, Failure::None}}), PlayState::Ready,
     "Ошибка: сбой воспроизведения"},
    {"AudioOutputRefused", opened({FileEnded{5, EndReason::Error, Failure::AudioOutputFailed}}),
     PlayState::Ready, "Ошибка: звуковое устройство недоступно"},
    {"LoadRejected",
     {LoadRequested{1}, LoadRejected{1, Failure::UnsupportedAddress}},
     PlayState::Ready,
     "Ошибка: неподдерживаемый адрес"},
    {"StreamEnded", opened({CoreIdleChanged{false}, FileEnded{5, EndReason::Eof, Failure::None}}),
     PlayState::MediaEnded, "Воспроизведение завершено"},
    {"PlaylistRedirectKeepsConnecting",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Redirect, Failure::None, 2}},
     PlayState::Transitioning,
     "Подключение..."},
    {"EmptyPlaylist",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Redirect, Failure::None, 0}, IdleChanged{true}},
     PlayState::Ready,
     "Ошибка: список воспроизведения пуст"},
    {"IdleWhileConnectingIsAFailure",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5}, IdleChanged{true}},
     PlayState::Ready,
     "Ошибка: сбой воспроизведения"},
    {"IdleWhilePlayingEnds", opened({CoreIdleChanged{false}, IdleChanged{true}}), PlayState::MediaEnded,
     "Воспроизведение завершено"},
    {"IdleAfterErrorKeepsTheError",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Error, Failure::LoadingFailed}, IdleChanged{true}},
     PlayState::Ready,
     "Ошибка: не удалось открыть поток"},
    // Idle from before the load was processed, still queued.
    {"IdleBeforeOurEntryStartsIgnored",
     {LoadRequested{1}, IdleChanged{true}, LoadAccepted{1, 5}, IdleChanged{true}},
     PlayState::Transitioning,
     "Подключение..."},
    {"IdleAfterStopChangesNothing", opened({CoreIdleChanged{false}, StopRequested{}, IdleChanged{true}}),
     PlayState::Stopped, "Остановлено"},
    {"PlaylistEntryAfterFailedOneConnects",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Redirect, Failure::None, 2}, FileStarted{6},
      FileEnded{6, EndReason::Error, Failure::LoadingFailed}, FileStarted{7}},
     PlayState::Transitioning,
     "Подключение..."},
    {"PlaylistEntryPlays",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Redirect, Failure::None, 1}, FileStarted{6}, FileLoaded{},
      CoreIdleChanged{false}, StationBitrateChanged{64}},
     PlayState::Playing,
     "Воспроизведение: 64 Кбит/с"},
    // Events of the previous address that were still queued when the next one was set.
    {"PreviousEntryFailureIgnored",
     opened({CoreIdleChanged{false}, LoadRequested{2}, FileEnded{5, EndReason::Error, Failure::LoadingFailed},
             LoadAccepted{2, 6}, FileEnded{5, EndReason::Error, Failure::LoadingFailed}}),
     PlayState::Transitioning, "Подключение..."},
    {"PreviousEntryPropertiesIgnoredUntilNewStart",
     opened({CoreIdleChanged{false}, LoadRequested{2}, LoadAccepted{2, 6}, FileLoaded{},
             CoreIdleChanged{false}, StationBitrateChanged{128}}),
     PlayState::Transitioning, "Подключение..."},
    {"StaleReplyIgnored",
     {LoadRequested{1}, LoadRequested{2}, LoadAccepted{1, 5}, FileStarted{5}, FileLoaded{},
      CoreIdleChanged{false}},
     PlayState::Transitioning,
     "Подключение..."},
    {"StaleRejectionIgnored",
     {LoadRequested{1}, LoadRequested{2}, LoadRejected{1, Failure::LoadingFailed}},
     PlayState::Transitioning,
     "Подключение..."},
    {"ReplyAfterStopIgnored",
     {LoadRequested{1}, StopRequested{}, LoadAccepted{1, 5}, FileStarted{5}, FileLoaded{}},
     PlayState::Stopped,
     "Остановлено"},
    {"StartSeenBeforeReply",
     {LoadRequested{1}, FileStarted{5}, LoadAccepted{1, 5}, FileLoaded{}, CoreIdleChanged{false}},
     PlayState::Playing,
     "Воспроизведение"},
    {"NewEntryForgetsOldBitrate",
     opened({CoreIdleChanged{false}, StationBitrateChanged{128}, LoadRequested{2}, LoadAccepted{2, 6},
             FileStarted{6}, FileLoaded{}, CoreIdleChanged{false}}),
     PlayState::Playing, "Воспроизведение"},
    {"ReloadAfterError",
     {LoadRequested{1}, LoadAccepted{1, 5}, FileStarted{5},
      FileEnded{5, EndReason::Error, Failure::LoadingFailed}, LoadRequested{2}},
     PlayState::Transitioning,
     "Подключение..."},
};

class StatusComposerTest : public testing::TestWithParam<ComposerCase> {};

TEST_P(StatusComposerTest, ComposesStateAndText) {
    StatusComposer composer;
    for (const auto& event : GetParam().events) {
        composer.apply(event);
    }
    EXPECT_EQ(composer.playState(), GetParam().state);
    EXPECT_EQ(composer.text().toStdString(), GetParam().text.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Sequences, StatusComposerTest, testing::ValuesIn(kCases),
                         [](const auto& testCase) { return testCase.param.name; });

TEST(StatusComposerTextTest, NoTextButABitrateHoldsTheBitrateMarker) {
    // Readers of the status line cut the bitrate out at "/с"; only the playing text may carry it.
    for (Failure failure : {Failure::LoadingFailed, Failure::UnsupportedFormat, Failure::NothingToPlay,
                            Failure::AudioOutputFailed, Failure::EmptyPlaylist, Failure::UnsupportedAddress,
                            Failure::EngineUnavailable, Failure::Other}) {
        EXPECT_FALSE(StatusComposer::failureText(failure).contains(QStringLiteral("/с")));
    }
}

TEST(StatusComposerTextTest, MeasuredBitrateNoiseKeepsTheText) {
    StatusComposer composer;
    for (const auto& event : opened({CoreIdleChanged{false}})) {
        composer.apply(event);
    }
    std::vector<std::string> shown;
    for (double bps : {119'000.0, 130'090.0, 130'660.0, 131'309.0, 127'997.0, 129'984.0, 131'797.0}) {
        composer.apply(MeasuredBitrateChanged{bps});
        const std::string text = composer.text().toStdString();
        if (shown.empty() || shown.back() != text) {
            shown.push_back(text);
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Воспроизведение", "Воспроизведение: 128 Кбит/с"}));
}

} // namespace
} // namespace tembrik::mediaplayer::detail
