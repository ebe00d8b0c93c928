// "Find stations" against a fixture server that speaks the directory API's subset.
#include "NetWindowFixture.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Cp1251.h"
#include "ui/FindStations.h"
#include "ui/widgets/LogoGrid.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <atomic>
#include <cstdlib>
#include <mutex>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string Station(const std::string& uuid, const std::string& name, const std::string& url, int hls,
                    const std::string& favicon) {
    return R"({"changeuuid":"c","stationuuid":")" + uuid + R"(","name":")" + name + R"(","url":")" + url +
           R"(","url_resolved":")" + url + R"(","homepage":"","favicon":")" + favicon +
           R"(","tags":"jazz,blues","country":"Germany","countrycode":"DE","codec":"MP3","bitrate":128,"hls":)" +
           std::to_string(hls) + R"(,"lastcheckok":1,"clickcount":3})";
}

std::string Png() {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class FindStationsTest : public NetWindowFixture {
protected:
    void SetUp() override {
        NetWindowFixture::SetUp();
        ::setenv("TEMBRIK_RADIO_DIRECTORY", site().c_str(), 1);
        setCheckUpdates(0);
        // The answer names the query it answers, so a test sees which one is shown.
        server.route("/json/stations/search", [this](Connection& c) {
            const std::string name = QUrlQuery(QString::fromStdString(c.query()))
                                         .queryItemValue("name", QUrl::FullyDecoded)
                                         .toStdString();
            {
                std::lock_guard lock(mutex);
                queries.push_back(name);
            }
            if (slow && !c.sleep(1000ms))
                return;
            const std::string body =
                "[" + Station("u1", "Jazz " + name, "http://127.0.0.1:9/jazz", 0, site() + "/fav.png") + "," +
                Station("u2", "Блюз Ω", "http://127.0.0.1:9/blues.m3u8", 1, site() + "/fav.html") + "]";
            c.send(TestServer::httpHeader(200, "application/json", static_cast<long long>(body.size())) +
                   body);
        });
        serve("/fav.png", Png());
        serve("/fav.html", "<html>no picture</html>");
        serve("/json/url/u1", R"({"ok":true})");
        serve("/json/url/u2", R"({"ok":true})");
    }
    void TearDown() override {
        ::unsetenv("TEMBRIK_RADIO_DIRECTORY");
        NetWindowFixture::TearDown();
    }
    FindStationsWindow* open() {
        ShowFindStations(mainWindow.get());
        return mainWindow->findChild<FindStationsWindow*>();
    }
    std::vector<std::string> sent() {
        std::lock_guard lock(mutex);
        return queries;
    }

    std::mutex mutex;
    std::vector<std::string> queries; // guarded by mutex
    std::atomic<bool> slow{false};
};

// Typing sends one request per pause; while one runs no second goes out, and the newer text is
// asked for when it returns, so an older answer never stays on show.
TEST_F(FindStationsTest, SearchAsYouTypeSendsOneRequestPerPauseAndShowsTheNewest) {
    start();
    FindStationsWindow* w = open();
    ASSERT_NE(w, nullptr);
    QTest::keyClicks(w->searchEdit, "jazz");
    ASSERT_TRUE(waitFor([&] { return w->resultList->count() == 2 && !w->busy(); }, 10s));
    EXPECT_EQ(sent(), std::vector<std::string>({"jazz"}));
    EXPECT_TRUE(w->resultList->item(0)->text().startsWith("Jazz jazz  —  DE · MP3 128 kbit/s"));
    EXPECT_TRUE(w->resultList->item(1)->text().startsWith("Блюз Ω"));
    EXPECT_TRUE(waitFor([&] { return !w->resultList->item(0)->icon().isNull(); }, 10s));

    slow = true;
    QTest::keyClicks(w->searchEdit, " a");
    ASSERT_TRUE(waitFor([&] { return sent().size() == 2; }, 10s));
    QTest::keyClicks(w->searchEdit, "b");
    QTest::qWait(500); // a pause while the first request is still out
    EXPECT_EQ(sent().size(), 2u);
    ASSERT_TRUE(
        waitFor([&] { return w->results().size() == 2 && w->results()[0].name == "Jazz jazz ab"; }, 10s));
    EXPECT_EQ(sent(), std::vector<std::string>({"jazz", "jazz a", "jazz ab"}));
    EXPECT_TRUE(errors.isEmpty());
    // What the window looks like with results, for people to look at.
    waitFor([&] { return !w->resultList->item(0)->icon().isNull(); }, 10s);
    w->grab().save(QString::fromStdString((fs::path(TEMBRIK_BUILD_DIR) / "find-stations.png").string()));
}

// "Add" writes the next station with its logo, counts the click once, and the new cell plays it.
TEST_F(FindStationsTest, AddWritesTheStationAndItsNewCellPlaysIt) {
    start();
    const int before = State().StationCount;
    FindStationsWindow* w = open();
    QTest::keyClicks(w->searchEdit, "jazz");
    ASSERT_TRUE(waitFor([&] { return w->resultList->count() == 2 && !w->busy(); }, 10s));

    w->resultList->setCurrentRow(0);
    w->addButton->click();
    ASSERT_TRUE(waitFor([&] { return w->statusLabel->text().startsWith("Added") && !w->busy(); }, 10s));
    const int first = before + 1;
    EXPECT_EQ(BytesOf(stations() / ("play" + std::to_string(first) + ".txt")),
              "http://127.0.0.1:9/jazz\r\nJazz jazz\r\n");
    EXPECT_TRUE(fs::exists(stations() / (std::to_string(first) + ".png")));

    w->resultList->setCurrentRow(1);
    w->addButton->click();
    ASSERT_TRUE(waitFor(
        [&] { return w->statusLabel->text().endsWith(QString::number(first + 1)) && !w->busy(); }, 10s));
    EXPECT_EQ(BytesOf(stations() / ("play" + std::to_string(first + 1) + ".txt")),
              "http://127.0.0.1:9/blues.m3u8\r\n" + tembrik::platform::utf8ToCp1251("Блюз") + " ?\r\n1\r\n");
    EXPECT_EQ(BytesOf(stations() / (std::to_string(first + 1) + ".txt")), "");
    EXPECT_EQ(server.connections("/json/url/u1"), 1);
    EXPECT_EQ(server.connections("/json/url/u2"), 1);
    EXPECT_EQ(State().StationCount, before + 2);

    const int cell = first - 1;
    mainWindow->stationCellSelected(cell % LogoGrid::Columns, cell / LogoGrid::Columns);
    EXPECT_EQ(State().CurrentUrl.get(), "http://127.0.0.1:9/jazz");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(FindStationsTest, NoDirectoryShowsTheOfflineTextAndTheWindowStaysUsable) {
    ::setenv("TEMBRIK_RADIO_DIRECTORY", "http://127.0.0.1:1", 1);
    start();
    FindStationsWindow* w = open();
    QTest::keyClicks(w->searchEdit, "jazz");
    ASSERT_TRUE(
        waitFor([&] { return w->statusLabel->text() == "No connection to the station directory"; }, 10s));
    EXPECT_EQ(w->resultList->count(), 0);
    EXPECT_TRUE(w->searchEdit->isEnabled());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
