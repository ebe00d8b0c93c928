// "Find stations" against a fixture server that speaks the directory API's subset.
#include "NetWindowFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "tembrik/mediaplayer/MediaPlayer.h"
#include "tembrik/platform/Cp1251.h"
#include "ui/FindStations.h"
#include "ui/StationEditor.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <algorithm>
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

// Whether a result shows the picture Png() serves, not the empty place kept for it.
bool ShowsFavicon(const QListWidgetItem* item) {
    const QImage icon = item->icon().pixmap(16, 16).toImage();
    return !icon.isNull() && icon.pixelColor(8, 8) == QColor(Qt::darkCyan);
}

// Whether a label shows its whole text in its place.
bool Fits(const QLabel* label) {
    const QRect need = QFontMetrics(label->font())
                           .boundingRect(QRect(0, 0, label->width(), 10000),
                                         label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
    return need.width() <= label->width() && need.height() <= label->height();
}

class FindStationsTest : public NetWindowFixture {
protected:
    void SetUp() override {
        NetWindowFixture::SetUp();
        ::setenv("TEMBRIK_RADIO_DIRECTORY", site().c_str(), 1);
        setCheckUpdates(0);
        // The answer names the query it answers, so a test sees which one is shown.
        server.route("/json/stations/search", [this](Connection& c) {
            const QUrlQuery query(QString::fromStdString(c.query()));
            const std::string name = query.queryItemValue("name", QUrl::FullyDecoded).toStdString();
            std::string body;
            {
                std::lock_guard lock(mutex);
                queries.push_back(name);
                asked.push_back(query);
                body = answer;
            }
            if ((slow && !c.sleep(1000ms)) || (stall && !c.sleep(120s)))
                return;
            if (body.empty())
                body = "[" + Station("u1", "Jazz " + name, site() + "/jazz", 0, site() + "/fav.png") + "," +
                       Station("u2", "Блюз Ω", site() + "/blues.m3u8", 1, site() + "/fav.html") + "]";
            c.send(TestServer::httpHeader(200, "application/json", static_cast<long long>(body.size())) +
                   body);
        });
        const std::string png = Png();
        server.route("/fav.png", [this, png](Connection& c) {
            if (!stall || c.sleep(120s))
                c.send(TestServer::httpHeader(200, "image/png", static_cast<long long>(png.size())) + png);
        });
        serve("/fav.html", "<html>no picture</html>");
        serve("/json/url/u1", R"({"ok":true})");
        serve("/json/url/u2", R"({"ok":true})");
        // The HLS station's stream: the second player that connects finds a server yet to answer.
        server.route("/blues.m3u8", [](Connection& c) { c.sleep(120s); });
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

    std::vector<QUrlQuery> questions() {
        std::lock_guard lock(mutex);
        return asked;
    }
    // Serves `body` to every search from now on instead of the two stations.
    void answerWith(const std::string& body) {
        std::lock_guard lock(mutex);
        answer = body;
    }
    FindStationsWindow* search(const char* text) {
        FindStationsWindow* w = open();
        QTest::keyClicks(w->searchEdit, text);
        EXPECT_TRUE(waitFor(
            [&] {
                const QString status = w->statusLabel->text();
                return !status.isEmpty() && status != "Searching…" && !w->busy();
            },
            20s));
        return w;
    }
    // How often the main engine (the tests' scripted one) was asked to open `url`.
    static long opened(const std::string& url) {
        FakeAudio& audio = DefaultTestAudio();
        std::lock_guard lock(audio.mutex);
        return std::count(audio.openedUrls.begin(), audio.openedUrls.end(), url);
    }

    std::mutex mutex;
    std::vector<std::string> queries; // guarded by mutex
    std::vector<QUrlQuery> asked;     // guarded by mutex
    std::string answer;               // guarded by mutex
    std::atomic<bool> slow{false};
    std::atomic<bool> stall{false}; // searches and the picture answer only when the server stops
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
    EXPECT_TRUE(waitFor([&] { return ShowsFavicon(w->resultList->item(0)); }, 10s));

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
    EXPECT_TRUE(waitFor([&] { return ShowsFavicon(w->resultList->item(0)); }, 10s));
    EXPECT_FALSE(ShowsFavicon(w->resultList->item(1))); // its favicon is a web page
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
              site() + "/jazz\r\nJazz jazz\r\n");
    EXPECT_TRUE(fs::exists(stations() / (std::to_string(first) + ".png")));

    w->resultList->setCurrentRow(1);
    w->addButton->click();
    ASSERT_TRUE(waitFor(
        [&] { return w->statusLabel->text().endsWith(QString::number(first + 1)) && !w->busy(); }, 10s));
    EXPECT_EQ(BytesOf(stations() / ("play" + std::to_string(first + 1) + ".txt")),
              site() + "/blues.m3u8\r\n" + tembrik::platform::utf8ToCp1251("Блюз") + " ?\r\n1\r\n");
    EXPECT_EQ(BytesOf(stations() / (std::to_string(first + 1) + ".txt")), "");
    EXPECT_EQ(server.connections("/json/url/u1"), 1);
    EXPECT_EQ(server.connections("/json/url/u2"), 1);
    EXPECT_EQ(State().StationCount, before + 2);

    const int cell = first - 1;
    mainWindow->stationCellSelected(cell % LogoGrid::Columns, cell / LogoGrid::Columns);
    EXPECT_EQ(State().CurrentUrl.get(), site() + "/jazz");
    EXPECT_EQ(State().CurrentStation, first);
    EXPECT_TRUE(waitFor([&] { return opened(site() + "/jazz") == 1; }, 10s));
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

// The selector beside the field asks the API's tag or country code instead of the name.
TEST_F(FindStationsTest, TagAndCountrySearchesAskTheirOwnParameter) {
    start();
    FindStationsWindow* w = open();
    struct Case {
        int field;
        const char* typed;
        const char* key;
        const char* value;
    } cases[] = {
        {1, "smooth jazz", "tag", "smooth jazz"},
        {2, "de", "countrycode", "DE"},
        {0, "blues", "name", "blues"},
    };
    for (const Case& c : cases) {
        const std::size_t before = questions().size();
        w->searchField->setCurrentIndex(c.field);
        w->searchEdit->clear();
        QTest::keyClicks(w->searchEdit, c.typed);
        ASSERT_TRUE(waitFor(
            [&] { return questions().size() > before && w->results().size() == 2 && !w->busy(); }, 10s))
            << c.typed;
        QTest::qWait(500); // a pause after the answer: nothing more is asked
        const std::vector<QUrlQuery> sent = questions();
        ASSERT_EQ(sent.size(), before + 1) << c.typed;
        for (const char* key : {"name", "tag", "countrycode"}) {
            EXPECT_EQ(sent.back().queryItemValue(key, QUrl::FullyDecoded).toStdString(),
                      std::string(key) == c.key ? c.value : "")
                << c.typed << " " << key;
        }
        EXPECT_EQ(sent.back().queryItemValue("order").toStdString(), "clickcount");
    }
}

// "Listen" plays a result on the main engine, an HLS one on the second player, without adding it to
// the catalogue; each click is counted once, and the station that was open before cannot be
// overwritten by the editor with the address heard now.
TEST_F(FindStationsTest, ListenPlaysAResultWithoutAddingIt) {
    start();
    mainWindow->stationCellSelected(0, 0);
    ASSERT_EQ(State().CurrentStation, 1);
    const auto before = Snapshot(stations());
    FindStationsWindow* w = search("jazz");
    ASSERT_EQ(w->resultList->count(), 2);

    w->resultList->setCurrentRow(0);
    w->listenButton->click();
    EXPECT_EQ(State().CurrentUrl.get(), site() + "/jazz");
    EXPECT_EQ(State().UseSecondPlayer.get(), "0");
    EXPECT_EQ(mainWindow->stationTitle->text(), "Jazz jazz");
    EXPECT_TRUE(waitFor([&] { return opened(site() + "/jazz") == 1; }, 10s));

    w->resultList->setCurrentRow(1);
    w->listenButton->click();
    EXPECT_EQ(State().UseSecondPlayer.get(), "1");
    ASSERT_NE(mainWindow->secondPlayer, nullptr);
    EXPECT_EQ(mainWindow->secondPlayer->url(), QString::fromStdString(site() + "/blues.m3u8"));
    EXPECT_EQ(mainWindow->stationTitle->text(), "Блюз Ω");
    EXPECT_EQ(opened(site() + "/blues.m3u8"), 0);

    ASSERT_TRUE(waitFor([&] { return !w->busy(); }, 10s));
    EXPECT_EQ(server.connections("/json/url/u1"), 1);
    EXPECT_EQ(server.connections("/json/url/u2"), 1);
    {
        StationEditor editor;
        editor.save(); // SAVE writes only into a station of the catalogue
    }
    theStationEditor = nullptr; // the editor above was the program's only one
    EXPECT_EQ(Snapshot(stations()), before);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty());
}

// Answers that are no use are said in the window's status line, never in a box; a name far too
// long for a line is cut to the list's width on show and to one line's worth in the station file;
// a full catalogue is said there too.
TEST_F(FindStationsTest, UselessAnswersAreSaidInTheWindow) {
    start();
    const std::string longName(2000, 'L');
    struct Case {
        std::string body;
        const char* status;
        int rows;
    } cases[] = {
        {"[{\"stationuuid\":\"u1\",\"name\":", "The station directory sent an answer that cannot be read", 0},
        {"[]", "Nothing found", 0},
        {"[" + Station("u9", "No address", "", 0, "") + "," +
             Station("u1", longName, site() + "/jazz", 0, "") + "]",
         "1 station", 1},
    };
    const auto before = Snapshot(stations());
    FindStationsWindow* w = open();
    const char* typed[] = {"a", "b", "c"};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        answerWith(cases[k].body);
        w->searchEdit->clear();
        QTest::keyClicks(w->searchEdit, typed[k]);
        ASSERT_TRUE(waitFor([&] { return w->statusLabel->text() == cases[k].status && !w->busy(); }, 10s))
            << cases[k].status << " / " << w->statusLabel->text().toStdString();
        EXPECT_EQ(w->resultList->count(), cases[k].rows);
        EXPECT_TRUE(w->searchEdit->isEnabled());
    }
    const QFontMetrics metrics(w->resultList->font());
    for (const QString& line : w->resultList->item(0)->text().split('\n'))
        EXPECT_LE(metrics.horizontalAdvance(line), w->resultList->viewport()->width()) << line.toStdString();
    EXPECT_EQ(Snapshot(stations()), before);

    w->addButton->click();
    ASSERT_TRUE(waitFor([&] { return w->statusLabel->text().startsWith("Added") && !w->busy(); }, 10s));
    const std::string added = "play" + std::to_string(State().StationCount) + ".txt";
    EXPECT_EQ(BytesOf(stations() / added), site() + "/jazz\r\n" + std::string(200, 'L') + "\r\n");

    // A full catalogue says so on Add, in words that fit the status line.
    for (int n = State().StationCount + 1; n <= MaxStations; ++n)
        Put(stations() / ("play" + std::to_string(n) + ".txt"), "x\r\n");
    const auto full = Snapshot(stations());
    w->addButton->click();
    ASSERT_TRUE(waitFor([&] { return w->statusLabel->text().contains("1000") && !w->busy(); }, 10s))
        << w->statusLabel->text().toStdString();
    EXPECT_TRUE(Fits(w->statusLabel)) << w->statusLabel->text().toStdString();
    EXPECT_EQ(Snapshot(stations()), full);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty());
}

// The program ends (the main window goes, and the search window with it) while a search, a favicon
// for "Add" and a click are still out: every transfer is given up, nothing is half written, no box.
TEST_F(FindStationsTest, QuittingWhileTheDirectoryIsAskedEndsCleanly) {
    start();
    FindStationsWindow* w = search("jazz");
    ASSERT_EQ(w->resultList->count(), 2);
    ASSERT_TRUE(waitFor([&] { return !w->busy(); }, 10s));
    const auto before = Snapshot(stations());
    const int pictures = server.connections("/fav.png");

    stall = true;
    w->resultList->setCurrentRow(0);
    w->addButton->click();
    QTest::keyClicks(w->searchEdit, " a");
    ASSERT_TRUE(
        waitFor([&] { return sent().size() == 2 && server.connections("/fav.png") == pictures + 1; }, 10s));
    ASSERT_FALSE(w->addButton->isEnabled()) << "the favicon for Add is still on its way";

    mainWindow->close();
    mainWindow.reset();
    QApplication::processEvents(); // whatever the transfers posted finds no window and does nothing
    EXPECT_EQ(Snapshot(stations()), before);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty());
}

// The window opens beside the main window where the screen has room, so the grid stays in sight.
TEST(FindStationsPlace, BesideTheMainWindowWhereTheScreenHasRoom) {
    const QSize size(520, 420);
    const QRect screen(0, 0, 1280, 1024);
    struct Case {
        QRect main;
        QRect screen;
        QPoint at;
    } cases[] = {
        {{100, 100, 501, 373}, screen, {609, 100}},           // right
        {{700, 100, 501, 373}, screen, {172, 100}},           // left
        {{338, 204, 501, 373}, screen, {338, 585}},           // below, where the program first opens
        {{338, 500, 501, 373}, screen, {338, 72}},            // above
        {{100, 800, 501, 373}, screen, {609, 604}},           // right, slid up onto the screen
        {{150, 100, 501, 373}, {0, 0, 800, 600}, {280, 100}}, // no room anywhere: over it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindWindowPosition(c.main, size, c.screen), c.at)
            << c.main.x() << "," << c.main.y() << " on " << c.screen.width();
    }
}

// The tray menu's item and Ctrl+F on the main window open the window; there is only ever one.
TEST_F(FindStationsTest, TheTrayItemAndCtrlFOpenTheOneWindow) {
    start();
    auto* item = mainWindow->findChild<QAction*>("FindStations1");
    ASSERT_NE(item, nullptr);
    item->trigger();
    FindStationsWindow* w = mainWindow->findChild<FindStationsWindow*>();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    w->hide();
    EXPECT_FALSE(w->isVisible());

    mainWindow->activateWindow();
    QApplication::setActiveWindow(mainWindow.get());
    QTest::keyClick(mainWindow.get(), Qt::Key_F, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(mainWindow->findChildren<FindStationsWindow*>().size(), 1);
}

} // namespace
