// The catalogue import against a directory page and logos served by the tests' own web server.
#include "NetWindowFixture.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Cp1251.h"
#include "ui/widgets/LogoGrid.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace fs = std::filesystem;
using tembrik::platform::utf8ToCp1251;

namespace {

const std::string K = "http://playlist.test:8000/playlist/radio.m3u?station";

// One station block as the directory page writes it. Without a key the block links elsewhere.
std::string Block(const std::string& key, const std::string& logo, const std::string& name) {
    const std::string link = key.empty() ? "http://elsewhere.test/listen" : K + key;
    return "<div class=\"st\"><div class=\"l\"><a href=\"/s\" popup=\"500 400\"><img src=\"/" + logo +
           "\" class=\"logo\" alt=\"" + name +
           "\" width=\"88\" height=\"31\"></a></div><div class=\"p\"><a href=\"" + link +
           "\"><img src=\"/play.gif\"></a></div></div></div>\n";
}

std::string Page(const std::string& blocks, bool footer = true) {
    return "<html><head><meta charset=\"utf-8\"></head><body><div class=\"st\">menu</div></div></div>"
           "<h3>Радиостанции</h3>\n" +
           blocks + (footer ? "<div id=\"footer-spacer\"></div>" : "") + "</body></html>";
}

std::string Encoded(const char* format) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

const std::string Png = Encoded("PNG");
const std::string Jpg = Encoded("JPG");
// Qt writes no GIF: a 1 × 1 picture by hand.
const std::string
    Gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\xff\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
        "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
        43);

class ImportTest : public NetWindowFixture {
protected:
    void SetUp() override {
        NetWindowFixture::SetUp();
        setCheckUpdates(0);
        Put(dir() / "favs.txt", "3\r\n1\r\n");
    }
    // A station file as the import writes it: Windows-1251, CR LF, two lines.
    static std::string StationFile(const std::string& key, const std::string& name) {
        return utf8ToCp1251(K + key) + "\r\n" + utf8ToCp1251(name) + "\r\n";
    }
    // Ctrl+Shift+I on the main window reaches the hidden import button.
    void runImport() {
        mainWindow->activateWindow();
        QApplication::setActiveWindow(mainWindow.get());
        QTest::keyClick(mainWindow.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
        QApplication::processEvents();
    }
};

// Blocks A (key), B (no key) and C (key) give stations 1 and 2; names are cleaned of the page's
// quotation entities, &#1110; becomes i, other entities stay. The grids are rebuilt, the
// favourites file is left alone, and Ctrl+Shift+I reaches the hidden button.
TEST_F(ImportTest, TheDirectoryPageBecomesTheCatalogue) {
    serve("/", Page(Block("=alpha", "logos/a.png", "&laquo;Радио Альфа&raquo;") +
                    Block("", "logos/b.gif", "Beta") + Block("=abc", "logos/c.gif", "Rad&#1110;o &amp; Co")));
    serve("/logos/a.png", Png);
    serve("/logos/b.gif", Gif);
    serve("/logos/c.gif", Gif);
    start();
    const std::string favourites = BytesOf(dir() / "favs.txt");
    runImport();

    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    const std::map<std::string, std::string> expected = {
        {"play1.txt", StationFile("=alpha", "Радио Альфа")},
        {"play2.txt", StationFile("=abc", "Radio &amp; Co")},
        {"1.png", Png},
        {"2.gif", Gif},
    };
    ASSERT_EQ(server.connections("/"), 1);
    EXPECT_EQ(Snapshot(stations()), expected);
    EXPECT_TRUE(BytesOf(stations() / "play2.txt").starts_with(K + "=abc\r\n"));
    EXPECT_EQ(server.connections("/logos/b.gif"), 0);
    EXPECT_FALSE(fs::exists(dir() / "Stations.import"));
    EXPECT_FALSE(fs::exists(dir() / "Stations.previous"));
    EXPECT_EQ(State().StationCount, 2);
    EXPECT_EQ(mainWindow->stationGrid->rowCount(), 1);
    EXPECT_FALSE(mainWindow->stationGrid->picture(0, 0).isNull());
    EXPECT_FALSE(mainWindow->stationGrid->picture(1, 0).isNull());
    EXPECT_EQ(BytesOf(dir() / "favs.txt"), favourites);
    EXPECT_EQ(mainWindow->importLogoNames, QStringList({"1", "2"}));
    EXPECT_EQ(mainWindow->importLogoUrls, QStringList({QString::fromStdString(site() + "/logos/a.png"),
                                                       QString::fromStdString(site() + "/logos/c.gif")}));
}

// Each logo is typed by its first byte; an empty answer, an HTML answer and a failed download leave
// the station without a picture, and a path that would leave the site is not fetched at all.
TEST_F(ImportTest, LogosAreTypedAndBadOnesLeaveTheStationWithout) {
    serve("/", Page(Block("=1", "l/png", "P") + Block("=2", "l/gif", "G") + Block("=3", "l/jpg", "J") +
                    Block("=4", "l/empty", "E") + Block("=5", "l/html", "H") + Block("=6", "l/missing", "M") +
                    Block("=7", "../secret.png", "Up") + Block("=8", "/secret.png", "Root")));
    serve("/l/png", Png);
    serve("/l/gif", Gif);
    serve("/l/jpg", Jpg);
    serve("/l/empty", "");
    serve("/l/html", "<html>not a picture</html>");
    serve("/l/missing", "gone", 404);
    serve("/secret.png", Png);
    start();
    runImport();

    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    std::map<std::string, std::string> logos;
    for (const auto& [name, bytes] : Snapshot(stations())) {
        if (!name.starts_with("play"))
            logos[name] = bytes;
    }
    const std::map<std::string, std::string> expected = {
        {"1.png", Png}, {"2.gif", Gif}, {"3.jpg", Jpg}, {"4.txt", ""}, {"5", "<html>not a picture</html>"},
        {"6.txt", ""},  {"7.txt", ""},  {"8.txt", ""},
    };
    EXPECT_EQ(logos, expected);
    EXPECT_EQ(server.connections("/secret.png"), 0);
    EXPECT_EQ(server.connections("//secret.png"), 0);
    EXPECT_EQ(State().StationCount, 8);
    EXPECT_EQ(mainWindow->stationGrid->rowCount(), 2);
    EXPECT_EQ(mainWindow->importLogoNames, QStringList({"1", "2", "3", "4", "5", "6"}));
}

// Names and keys cut from the page cannot break a station file's lines; two blocks with the same
// key give two stations with the same address.
TEST_F(ImportTest, UntrustedNamesStayOneLineAndDuplicateKeysStayApart) {
    serve("/", Page(Block("=same", "", "Line\r\nbreak") + Block("=same", "", "Second")));
    start();
    runImport();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(BytesOf(stations() / "play1.txt"), StationFile("=same", "Line  break"));
    EXPECT_EQ(BytesOf(stations() / "play2.txt"), StationFile("=same", "Second"));
    EXPECT_EQ(Snapshot(stations()).size(), 4u);
}

// A page that fails, a page without the footer marker (an empty section) and a station file that
// cannot be written whole all leave the old catalogue file for file, with an error and the grids
// rebuilt from it.
TEST_F(ImportTest, AFailedImportLeavesTheOldCatalogueWhole) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
    } cases[] = {
        {"page fails", [this] { serve("/", "server trouble", 500); }},
        {"no footer", [this] { serve("/", Page(Block("=x", "l/png", "X"), false)); }},
        {"write fails part-way",
         [this] {
             serve("/", Page(Block("=a", "", "A") + Block("=b", "", std::string(200000, 'B')) +
                             Block("=c", "", "C")));
         }},
    };
    start();
    const std::map<std::string, std::string> before = Snapshot(stations());
    ASSERT_GT(before.size(), 4u);
    const int rowsBefore = mainWindow->stationGrid->rowCount();
    ASSERT_GT(rowsBefore, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        c.arrange();
        // Files larger than 64 KiB cannot be written while this limit holds.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limited);
        runImport();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(errors.size(), 1);
        EXPECT_EQ(Snapshot(stations()), before);
        EXPECT_FALSE(fs::exists(dir() / "Stations.import"));
        EXPECT_EQ(mainWindow->stationGrid->rowCount(), rowsBefore);
    }
}

// A page with more stations than the catalogue holds: the first 1000 are imported and a message
// says how many were left out.
TEST_F(ImportTest, MoreThanAThousandBlocksImportTheFirstThousand) {
    std::string blocks;
    for (int n = 1; n <= 1005; ++n)
        blocks += Block("=s" + std::to_string(n), "", "Station " + std::to_string(n));
    serve("/", Page(blocks));
    start();
    runImport();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("5 left out")) << messages[0].toStdString();
    EXPECT_EQ(State().StationCount, 1000);
    EXPECT_EQ(BytesOf(stations() / "play1000.txt"), StationFile("=s1000", "Station 1000"));
    EXPECT_FALSE(fs::exists(stations() / "play1001.txt"));
    EXPECT_EQ(Snapshot(stations()).size(), 2000u);
}

} // namespace
