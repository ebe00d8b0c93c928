#include "AddressPolicy.h"

#include <gtest/gtest.h>

namespace tembrik::mediaplayer::detail {
namespace {

struct AddressCase {
    const char* url;
    bool playable;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.url;
}

class AddressPolicyTest : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressPolicyTest, LetsOnlyNetworkStreamsThrough) {
    EXPECT_EQ(isPlayableAddress(QString::fromUtf8(GetParam().url)), GetParam().playable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressPolicyTest,
    testing::Values(AddressCase{"http://ice1.example.com/dronezone-128-mp3", true},
                    AddressCase{"HTTPS://icecast.example.fr/fip-hifi.aac", true},
                    AddressCase{"http://ubuntu.example.com:19800/ambient.ogg", true},
                    AddressCase{"  http://example.com/live.m3u8\r\n", true},
                    AddressCase{"http://example.com/playlist/radio.m3u?station=12", true},
                    AddressCase{"mms://media.example.com/radio", true},
                    AddressCase{"rtsp://127.0.0.1:8554/stream", true},
                    AddressCase{"file:///etc/passwd", false}, AddressCase{"/home/user/music.mp3", false},
                    AddressCase{"fd://0", false}, AddressCase{"av://lavfi:sine", false},
                    AddressCase{"ytdl://somevideo", false}, AddressCase{"edl://a.mp3,0,10", false},
                    AddressCase{"http:///nohost", false}, AddressCase{"radio.example.com:8000/stream", false},
                    AddressCase{"", false}));

} // namespace
} // namespace tembrik::mediaplayer::detail
