// The directory client: the search request and its answer, falling back from server to server,
// the click count, and adding a found station to the catalogue.
#include "support/TestServer.h"

#include "app/PlayerState.h"
#include "directory/AddStation.h"
#include "directory/RadioBrowser.h"
#include "tembrik/platform/Cp1251.h"
#include "tembrik/platform/ProgramDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;
using tembrik::audio::test::Connection;
using tembrik::audio::test::TestServer;
using namespace tembrik::directory;
namespace fs = std::filesystem;

namespace {

void Answer(Connection& c, int status, const std::string& body, const char* type = "application/json") {
    c.send(TestServer::httpHeader(status, type, static_cast<long long>(body.size())) + body);
}

// One station as the API writes it, with the fields we do not use too.
std::string StationJson(const std::string& uuid, const std::string& name, const std::string& url, int hls,
                        const std::string& favicon = "") {
    return R"({"changeuuid":"c-)" + uuid + R"(","stationuuid":")" + uuid + R"(","serveruuid":null,"name":")" +
           name + R"(","url":")" + url + R"(","url_resolved":")" + url +
           R"(","homepage":"https://example.org/","favicon":")" + favicon +
           R"(","tags":"jazz,smooth jazz","country":"Germany","countrycode":"DE","iso_3166_2":null,"state":"",)"
           R"("language":"german","languagecodes":"de","votes":12,"lastchangetime":"2024-01-01 10:00:00",)"
           R"("codec":"MP3","bitrate":128,"hls":)" +
           std::to_string(hls) +
           R"(,"lastcheckok":1,"clickcount":42,"clicktrend":1,"has_extended_info":false})";
}

class RadioBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.connectTimeout = 2000ms;
        options.readTimeout = 2000ms;
        options.userAgent = DirectoryUserAgent();
    }
    std::string root(const TestServer& s) const { return "http://127.0.0.1:" + std::to_string(s.port()); }

    TestServer server;
    tembrik::net::HttpOptions options;
};

TEST_F(RadioBrowserTest, SearchSendsTheQueryAndKeepsTheServersOrder) {
    std::string query, agent;
    const std::string longName(2000, 'n');
    const std::string answer = "[" + StationJson("u1", "Радио Jazz", "http://a.test/live", 0) + "," +
                               StationJson("u2", "No address", "", 0) + "," +
                               StationJson("u3", longName, "https://b.test/эфир.m3u8", 1) + "," +
                               StationJson("u4", "Endless", "http://c.test/" + std::string(3000, 'x'), 0) +
                               "]";
    server.route("/json/stations/search", [&](Connection& c) {
        query = c.query();
        agent = c.header("user-agent");
        Answer(c, 200, answer);
    });
    const SearchResult r = Search({root(server)}, {"Радио jazz", "smooth jazz", "DE"}, options);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.message, "");
    for (const char* part :
         {"order=clickcount", "reverse=true", "hidebroken=true", "limit=50",
          "name=%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE%20jazz", "tag=smooth%20jazz", "countrycode=DE"})
        EXPECT_NE(query.find(part), std::string::npos) << part << " in " << query;
    EXPECT_TRUE(agent.starts_with("Tembrik/")) << agent;
    ASSERT_EQ(r.stations.size(), 2u); // the stations without a whole address are left out
    EXPECT_EQ(r.stations[0].uuid, "u1");
    EXPECT_EQ(r.stations[0].name, "Радио Jazz");
    EXPECT_EQ(r.stations[0].url, "http://a.test/live");
    EXPECT_EQ(r.stations[0].countryCode, "DE");
    EXPECT_EQ(r.stations[0].codec, "MP3");
    EXPECT_EQ(r.stations[0].bitrate, 128);
    EXPECT_EQ(r.stations[0].tags, "jazz,smooth jazz");
    EXPECT_FALSE(r.stations[0].hls);
    EXPECT_EQ(r.stations[1].uuid, "u3");
    EXPECT_TRUE(r.stations[1].hls);
    EXPECT_EQ(r.stations[1].url, "https://b.test/%D1%8D%D1%84%D0%B8%D1%80.m3u8");
    EXPECT_EQ(r.stations[1].name.size(), 300u);
}

TEST_F(RadioBrowserTest, AnswersThatCannotBeReadOrHoldNothingSaySo) {
    struct Case {
        std::string json;
        bool ok;
        const char* message;
    } cases[] = {
        {"[{\"name\":", false, MalformedText},
        {"{\"error\":\"x\"}", false, MalformedText},
        {"<html>busy</html>", false, MalformedText},
        {"[]", true, NothingFoundText},
        {"[" + StationJson("u", "Only ftp", "ftp://x.test/a", 0) + "]", true, NothingFoundText},
    };
    for (const Case& c : cases) {
        const SearchResult r = ParseSearchAnswer(c.json);
        EXPECT_EQ(r.ok, c.ok) << c.json;
        EXPECT_EQ(r.message, c.message) << c.json;
        EXPECT_TRUE(r.stations.empty());
    }
}

// A refused server, one answering 500 and one that stalls longer than the read time-out are passed
// over for the next; when every one fails, the offline text.
TEST_F(RadioBrowserTest, AFailingServerFallsBackToTheNext) {
    TestServer failing, stalling;
    failing.route("/json/stations/search", [](Connection& c) { Answer(c, 500, "oops", "text/plain"); });
    stalling.route("/json/stations/search", [](Connection& c) {
        if (c.sleep(10s))
            Answer(c, 200, "[]");
    });
    server.route("/json/stations/search", [](Connection& c) {
        Answer(c, 200, "[" + StationJson("ok", "Good", "http://g.test/", 0) + "]");
    });
    const std::string refused = "http://127.0.0.1:1";
    const SearchResult r =
        Search({refused, root(failing), root(stalling), root(server)}, {"good", "", ""}, options);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(r.stations.size(), 1u);
    EXPECT_EQ(r.stations[0].uuid, "ok");
    EXPECT_EQ(failing.connections("/json/stations/search"), 1);
    EXPECT_EQ(stalling.connections("/json/stations/search"), 1);

    const SearchResult none = Search({refused, root(failing)}, {"good", "", ""}, options);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.message, OfflineText);
    EXPECT_EQ(Search({}, {"x", "", ""}, options).message, OfflineText);
}

TEST_F(RadioBrowserTest, AClickIsCountedOnceOnTheFirstServerThatTakesIt) {
    server.route("/json/url/9617a958-0601-11e8-ae97-52543be04c81",
                 [](Connection& c) { Answer(c, 200, R"({"ok":true,"message":"retrieved station url"})"); });
    EXPECT_TRUE(
        CountClick({"http://127.0.0.1:1", root(server)}, "9617a958-0601-11e8-ae97-52543be04c81", options));
    EXPECT_EQ(server.connections("/json/url/9617a958-0601-11e8-ae97-52543be04c81"), 1);
}

class AddStationTest : public RadioBrowserTest {
protected:
    void SetUp() override {
        RadioBrowserTest::SetUp();
        ResetPlayerState();
        dir = fs::temp_directory_path() / ("tembrik-directory-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "Stations");
        tembrik::platform::setProgramDirForTesting(dir);
        Put("play1.txt", "http://old.test/\r\nOld\r\n");
        Put("1.png", "\x89PNG");
    }
    void TearDown() override {
        tembrik::platform::setProgramDirForTesting({});
        fs::remove_all(dir);
    }
    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / "Stations" / name, std::ios::binary) << bytes;
    }
    std::string BytesOf(const std::string& name) const {
        std::ifstream in(dir / "Stations" / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir / "Stations"), {}));
    }
    fs::path dir;
};

// The station file byte for byte (a character outside Windows-1251 as "?", an HLS station with its
// third line) and the favicon as a typed logo; favicons that are HTML or too large give an empty one.
TEST_F(AddStationTest, AFoundStationBecomesTheNextStationWithItsLogo) {
    const std::string png("\x89PNG\r\n\x1a\n....", 12);
    server.route("/fav.png", [&](Connection& c) { Answer(c, 200, png, "image/png"); });
    server.route("/fav.html", [](Connection& c) { Answer(c, 200, "<html>no</html>", "text/html"); });
    server.route("/huge.png", [](Connection& c) {
        const std::string big(20u << 20, '\x89');
        Answer(c, 200, big, "image/png");
    });
    FoundStation plain{"u1", "Радио Ω", "http://a.test/live", root(server) + "/fav.png", "", "DE", "MP3",
                       128,  false};
    FoundStation hls{
        "u2", "Line\r\nbreak", "https://b.test/x.m3u8", root(server) + "/fav.html", "", "", "AAC", 0, true};
    FoundStation huge{"u3", "Huge", "http://c.test/", root(server) + "/huge.png", "", "", "", 0, false};

    const AddResult a = AddFoundStation(plain, DownloadFavicon(plain, options));
    ASSERT_TRUE(a.ok) << a.message;
    EXPECT_EQ(a.station, 2);
    EXPECT_EQ(BytesOf("play2.txt"),
              "http://a.test/live\r\n" + tembrik::platform::utf8ToCp1251("Радио") + " ?\r\n");
    EXPECT_EQ(BytesOf("2.png"), png);
    EXPECT_EQ(State().LogoExtensions[2], ".png");

    const AddResult b = AddFoundStation(hls, DownloadFavicon(hls, options));
    ASSERT_TRUE(b.ok) << b.message;
    EXPECT_EQ(BytesOf("play3.txt"), "https://b.test/x.m3u8\r\nLine  break\r\n1\r\n");
    EXPECT_TRUE(fs::exists(dir / "Stations" / "3.txt"));
    EXPECT_EQ(BytesOf("3.txt"), "");

    EXPECT_EQ(DownloadFavicon(huge, options), "");
    EXPECT_EQ(Entries(), 6u);
}

TEST_F(AddStationTest, AFullCatalogueSaysSoAndWritesNothing) {
    for (int n = 2; n <= MaxStations; ++n)
        Put("play" + std::to_string(n) + ".txt", "x\r\n");
    const std::size_t before = Entries();
    const AddResult r = AddFoundStation({"u", "One more", "http://x.test/", "", "", "", "", 0, false}, "");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("1000"), std::string::npos) << r.message;
    EXPECT_EQ(Entries(), before);
}

// A step that fails half way takes back what it wrote: a logo that cannot be given its extension (a
// folder has that name) or a station file that cannot be staged leaves Stations as it was.
TEST_F(AddStationTest, AFailedStepLeavesNothingBehind) {
    const std::string png("\x89PNG\r\n\x1a\n", 8);
    for (const char* blocker : {"2.png", "play2.txt.new"}) {
        fs::create_directories(dir / "Stations" / blocker / "inside");
        const std::size_t before = Entries();
        const AddResult r = AddFoundStation({"u", "Name", "http://x.test/", "", "", "", "", 0, false}, png);
        EXPECT_FALSE(r.ok) << blocker;
        EXPECT_NE(r.message, "") << blocker;
        EXPECT_EQ(Entries(), before) << blocker;
        EXPECT_FALSE(fs::exists(dir / "Stations" / "play2.txt")) << blocker;
        EXPECT_FALSE(fs::exists(dir / "Stations" / "2")) << blocker;
        EXPECT_EQ(State().LogoExtensions[2], "") << blocker;
        fs::remove_all(dir / "Stations" / blocker);
    }
}

} // namespace
