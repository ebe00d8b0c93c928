#include "MpvEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tembrik::mediaplayer::detail {
namespace {

// An mpv_node map built from strings, as libmpv hands metadata over.
class MetadataMap {
public:
    explicit MetadataMap(std::vector<std::pair<std::string, std::string>> entries)
        : entries_(std::move(entries)) {
        for (auto& [key, value] : entries_) {
            keys_.push_back(key.data());
            mpv_node node{};
            node.format = MPV_FORMAT_STRING;
            node.u.string = value.data();
            values_.push_back(node);
        }
        list_.num = static_cast<int>(entries_.size());
        list_.keys = keys_.data();
        list_.values = values_.data();
        node_.format = MPV_FORMAT_NODE_MAP;
        node_.u.list = &list_;
    }
    const mpv_node& node() const { return node_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
    std::vector<char*> keys_;
    std::vector<mpv_node> values_;
    mpv_node_list list_{};
    mpv_node node_{};
};

struct MetadataCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> entries;
    int kbps;
};

void PrintTo(const MetadataCase& c, std::ostream* os) {
    *os << c.name;
}

class StationBitrateTest : public testing::TestWithParam<MetadataCase> {};

TEST_P(StationBitrateTest, ReadsIcyBr) {
    const MetadataMap map(GetParam().entries);
    EXPECT_EQ(stationKbpsFromMetadata(map.node()), GetParam().kbps);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StationBitrateTest,
    testing::Values(MetadataCase{"Plain", {{"icy-name", "Drone"}, {"icy-br", "128"}}, 128},
                    MetadataCase{"UpperCaseKey", {{"ICY-BR", "64"}}, 64},
                    MetadataCase{"Repeated", {{"icy-br", "128,128"}}, 128},
                    MetadataCase{"Padded", {{"icy-br", " 96"}}, 96},
                    MetadataCase{"Missing", {{"icy-name", "Drone"}, {"icy-genre", "ambient"}}, 0},
                    MetadataCase{"NotANumber", {{"icy-br", "high"}}, 0},
                    MetadataCase{"Zero", {{"icy-br", "0"}}, 0},
                    MetadataCase{"Absurd", {{"icy-br", "99999999"}}, 0},
                    MetadataCase{"HlsVariantIgnored", {{"variant_bitrate", "128000"}}, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(StationBitrateTest, NonMapIsNoBitrate) {
    mpv_node node{};
    node.format = MPV_FORMAT_NONE;
    EXPECT_EQ(stationKbpsFromMetadata(node), 0);
}

struct EndCase {
    mpv_end_file_reason reason;
    int error;
    EndReason expectedReason;
    Failure expectedFailure;
};

class EndFileTest : public testing::TestWithParam<EndCase> {};

TEST_P(EndFileTest, TranslatesReasonAndError) {
    mpv_event_end_file end{};
    end.reason = GetParam().reason;
    end.error = GetParam().error;
    end.playlist_entry_id = 7;
    end.playlist_insert_num_entries = 3;
    mpv_event event{};
    event.event_id = MPV_EVENT_END_FILE;
    event.data = &end;
    const auto translated = translateEvent(event);
    ASSERT_TRUE(translated.has_value());
    const auto* ended = std::get_if<FileEnded>(&*translated);
    ASSERT_NE(ended, nullptr);
    EXPECT_EQ(ended->entryId, 7);
    EXPECT_EQ(ended->reason, GetParam().expectedReason);
    EXPECT_EQ(ended->failure, GetParam().expectedFailure);
    EXPECT_EQ(ended->insertedEntries, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EndFileTest,
    testing::Values(EndCase{MPV_END_FILE_REASON_EOF, 0, EndReason::Eof, Failure::None},
                    EndCase{MPV_END_FILE_REASON_STOP, 0, EndReason::Stop, Failure::None},
                    EndCase{MPV_END_FILE_REASON_QUIT, 0, EndReason::Quit, Failure::None},
                    EndCase{MPV_END_FILE_REASON_REDIRECT, 0, EndReason::Redirect, Failure::None},
                    EndCase{MPV_END_FILE_REASON_ERROR, MPV_ERROR_LOADING_FAILED, EndReason::Error,
                            Failure::LoadingFailed},
                    EndCase{MPV_END_FILE_REASON_ERROR, MPV_ERROR_UNKNOWN_FORMAT, EndReason::Error,
                            Failure::UnsupportedFormat},
                    EndCase{MPV_END_FILE_REASON_ERROR, MPV_ERROR_NOTHING_TO_PLAY, EndReason::Error,
                            Failure::NothingToPlay},
                    EndCase{MPV_END_FILE_REASON_ERROR, MPV_ERROR_AO_INIT_FAILED, EndReason::Error,
                            Failure::AudioOutputFailed},
                    EndCase{MPV_END_FILE_REASON_ERROR, MPV_ERROR_GENERIC, EndReason::Error, Failure::Other}));

TEST(CommandReplyTest, LoadReplyCarriesGenerationAndEntryId) {
    std::string key = "playlist_entry_id";
    char* keys[] = {key.data()};
    mpv_node value{};
    value.format = MPV_FORMAT_INT64;
    value.u.int64 = 42;
    mpv_node_list list{1, &value, keys};
    mpv_event_command reply{};
    reply.result.format = MPV_FORMAT_NODE_MAP;
    reply.result.u.list = &list;
    mpv_event event{};
    event.event_id = MPV_EVENT_COMMAND_REPLY;
    event.reply_userdata = 3;
    event.data = &reply;

    const auto accepted = translateEvent(event);
    ASSERT_TRUE(accepted.has_value());
    ASSERT_TRUE(std::holds_alternative<LoadAccepted>(*accepted));
    EXPECT_EQ(std::get<LoadAccepted>(*accepted).generation, 3u);
    EXPECT_EQ(std::get<LoadAccepted>(*accepted).entryId, 42);

    event.error = MPV_ERROR_INVALID_PARAMETER;
    const auto rejected = translateEvent(event);
    ASSERT_TRUE(rejected.has_value());
    ASSERT_TRUE(std::holds_alternative<LoadRejected>(*rejected));
    EXPECT_EQ(std::get<LoadRejected>(*rejected).generation, 3u);

    event.error = 0;
    event.reply_userdata = kUntrackedReply;
    EXPECT_FALSE(translateEvent(event).has_value());
}

TEST(PropertyChangeTest, UnavailablePropertiesMeanNothingKnown) {
    for (const auto& property : observedProperties()) {
        mpv_event_property change{};
        change.name = property.name;
        change.format = MPV_FORMAT_NONE;
        mpv_event event{};
        event.event_id = MPV_EVENT_PROPERTY_CHANGE;
        event.reply_userdata = static_cast<std::uint64_t>(property.id);
        event.data = &change;
        const auto translated = translateEvent(event);
        ASSERT_TRUE(translated.has_value()) << property.name;
        std::visit(
            [&](const auto& e) {
                using T = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<T, IdleChanged>) {
                    EXPECT_FALSE(e.idle);
                } else if constexpr (std::is_same_v<T, CoreIdleChanged>) {
                    EXPECT_TRUE(e.idle);
                } else if constexpr (std::is_same_v<T, PausedForCacheChanged>) {
                    EXPECT_FALSE(e.paused);
                } else if constexpr (std::is_same_v<T, BufferingChanged>) {
                    EXPECT_EQ(e.percent, 0);
                } else if constexpr (std::is_same_v<T, StationBitrateChanged>) {
                    EXPECT_EQ(e.kbps, 0);
                } else if constexpr (std::is_same_v<T, DemuxerBitrateChanged>) {
                    EXPECT_EQ(e.bitsPerSecond, 0);
                } else if constexpr (std::is_same_v<T, MeasuredBitrateChanged>) {
                    EXPECT_EQ(e.bitsPerSecond, 0.0);
                } else {
                    ADD_FAILURE() << property.name << " became an unexpected event";
                }
            },
            *translated);
    }
}

TEST(PropertyChangeTest, FlagsAndNumbersAreRead) {
    int flag = 0;
    mpv_event_property change{"core-idle", MPV_FORMAT_FLAG, &flag};
    mpv_event event{};
    event.event_id = MPV_EVENT_PROPERTY_CHANGE;
    event.reply_userdata = static_cast<std::uint64_t>(ObservedProperty::CoreIdle);
    event.data = &change;
    auto translated = translateEvent(event);
    ASSERT_TRUE(translated && std::holds_alternative<CoreIdleChanged>(*translated));
    EXPECT_FALSE(std::get<CoreIdleChanged>(*translated).idle);

    std::int64_t percent = 45;
    change = {"cache-buffering-state", MPV_FORMAT_INT64, &percent};
    event.reply_userdata = static_cast<std::uint64_t>(ObservedProperty::Buffering);
    translated = translateEvent(event);
    ASSERT_TRUE(translated && std::holds_alternative<BufferingChanged>(*translated));
    EXPECT_EQ(std::get<BufferingChanged>(*translated).percent, 45);
}

} // namespace
} // namespace tembrik::mediaplayer::detail
