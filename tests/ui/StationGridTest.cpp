// The grids of the main window: what the rebuild puts into them, what a click opens, and the
// favourites with their star.
#include "StationWindowFixture.h"

#include "app/PlayerState.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr const char* Idle = "Tembrik - Free Radio Gadget!";

class StationGridTest : public StationWindowFixture {
protected:
    // The station whose logo a cell shows, by its colour; 0 for an empty cell.
    int stationShown(LogoGrid* grid, int column, int row, int highest = 40) const {
        const QImage picture = grid->picture(column, row);
        if (picture.isNull())
            return 0;
        for (int n = 1; n <= highest; ++n) {
            if (picture.pixel(10, 10) == LogoColour(n).rgb())
                return n;
        }
        return -1;
    }
    std::vector<int> firstRow(LogoGrid* grid) const {
        std::vector<int> shown;
        for (int c = 0; c < 5; ++c)
            shown.push_back(stationShown(grid, c, 0));
        return shown;
    }
    QString starHint() const { return mainWindow_->favouriteStar->hint(); }
};

} // namespace

TEST_F(StationGridTest, RebuildPutsEveryStationInItsCellAndOneRowMore) {
    const struct {
        int stations;
        int rows;
        int emptyColumn, emptyRow; // a cell after the last station
    } cases[] = {{0, 1, 0, 0}, {7, 2, 2, 1}, {10, 3, 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stations);
        layOutStations(c.stations);
        start();
        EXPECT_EQ(State().StationCount, c.stations);
        ASSERT_EQ(mainWindow_->stationGrid->rowCount(), c.rows);
        for (int k = 0; k < c.rows * 5; ++k)
            EXPECT_EQ(stationShown(mainWindow_->stationGrid, k % 5, k / 5), k < c.stations ? k + 1 : 0)
                << "cell " << k;

        clickCell(mainWindow_->stationGrid, c.emptyColumn, c.emptyRow);
        EXPECT_EQ(title(), Idle);
        EXPECT_EQ(State().CurrentStation, -1);
        EXPECT_FALSE(mainWindow_->playButton->isEnabled());
        EXPECT_EQ(mainWindow_->trayIcon->toolTip(), Idle);
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        editor_.reset();
        mainWindow_.reset();
        ResetPlayerState();
    }
}

TEST_F(StationGridTest, ClickOpensTheStationOfTheCell) {
    layOutStations(12);
    // "Девятая" in Windows-1251, as station files are written; " 1" is kept as read and starts nothing.
    put(stations() / "play9.txt", "http://127.0.0.1:9/nine\r\n\xC4\xE5\xE2\xFF\xF2\xE0\xFF\r\n 1\r\n");
    start();
    clickCell(mainWindow_->stationGrid, 3, 1);
    EXPECT_EQ(State().CurrentStation, 9);
    EXPECT_EQ(title(), "Девятая");
    EXPECT_EQ(State().CurrentUrl.get(), "http://127.0.0.1:9/nine");
    EXPECT_EQ(State().UseSecondPlayer.get(), " 1");
    for (QPushButton* b : {mainWindow_->recordButton, mainWindow_->playButton, mainWindow_->stopButton})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(starHint(), "Add to Favourites");
    EXPECT_EQ(State().CurrentIsFavourite, 0);
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Девятая");
    // The editor follows the grid.
    EXPECT_EQ(editor_->titleEdit->text(), "Девятая");
    EXPECT_EQ(editor_->urlEdit->text(), "http://127.0.0.1:9/nine");
    EXPECT_FALSE(editor_->secondPlayerBox->isChecked()); // only exactly "1" ticks it

    // A station without a file: nothing opens, the rest of the click still happens.
    fs::remove(stations() / "play2.txt");
    mainWindow_->stationTitle->setCaption("changed by hand");
    clickCell(mainWindow_->stationGrid, 1, 0);
    EXPECT_EQ(State().CurrentStation, 9);
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "changed by hand");
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(StationGridTest, StationWithoutPictureHasAnEmptyCellThatStillOpensIt) {
    layOutStations(6);
    fs::remove(stations() / "4.png");
    put(stations() / "4.txt", "");
    start();
    EXPECT_EQ(firstRow(mainWindow_->stationGrid), (std::vector<int>{1, 2, 3, 0, 5}));
    EXPECT_EQ(stationShown(mainWindow_->stationGrid, 0, 1), 6);
    clickCell(mainWindow_->stationGrid, 3, 0);
    EXPECT_EQ(State().CurrentStation, 4);
    EXPECT_EQ(title(), "Station 4");
}

TEST_F(StationGridTest, AStationWhoseFileCannotBeReadKeepsThePreviousOne) {
    layOutStations(5);
    start();
    clickCell(mainWindow_->stationGrid, 0, 0);
    ASSERT_EQ(State().CurrentStation, 1);
    fs::remove(stations() / "play3.txt");
    fs::create_directories(stations() / "play3.txt"); // exists, but is no file
    clickCell(mainWindow_->stationGrid, 2, 0);
    EXPECT_EQ(errors_, QStringList{"File access denied"});
    EXPECT_EQ(State().CurrentStation, 1);
    EXPECT_EQ(title(), "Station 1");
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Station 1");
}

TEST_F(StationGridTest, AStrayFileIsLeftOutOfTheRebuild) {
    layOutStations(3);
    put(stations() / "readme.txt", "hello");
    start();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
    EXPECT_EQ(State().StationCount, 3);
    EXPECT_EQ(mainWindow_->stationGrid->rowCount(), 1);
}

TEST_F(StationGridTest, FavouritesGridShowsTheListInOrderAndOpensFromIt) {
    layOutStations(10);
    put(favs(), "3\r\n8\r\n5\r\n");
    start();
    EXPECT_FALSE(mainWindow_->favouritesGrid->isVisible());
    mainWindow_->showFavourites();
    EXPECT_TRUE(mainWindow_->favouritesGrid->isVisible());
    EXPECT_EQ(State().FavouritesShown, 1);
    EXPECT_EQ(mainWindow_->favouritesGrid->cellPictureSize(), QSize(85, 82));
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{3, 8, 5, 0, 0}));
    EXPECT_EQ(mainWindow_->favouritesGrid->rowCount(), 1);

    clickCell(mainWindow_->favouritesGrid, 1, 0);
    EXPECT_EQ(State().CurrentStation, 8);
    EXPECT_EQ(title(), "Station 8");
    EXPECT_EQ(starHint(), "Remove from favourites");
    EXPECT_EQ(State().CurrentIsFavourite, 1);
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Station 8");

    // Past the last favourite: nothing opens.
    mainWindow_->stationTitle->setCaption("by hand");
    clickCell(mainWindow_->favouritesGrid, 3, 0);
    EXPECT_EQ(State().CurrentStation, 8);
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "by hand");

    mainWindow_->showAllStations();
    EXPECT_FALSE(mainWindow_->favouritesGrid->isVisible());
    EXPECT_TRUE(mainWindow_->stationGrid->isVisible());
    EXPECT_EQ(State().FavouritesShown, 0);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

TEST_F(StationGridTest, FavouriteWhoseStationHasGoneStopsAtOpening) {
    layOutStations(4);
    put(favs(), "2\r\n9\r\n");
    start();
    mainWindow_->showFavourites();
    clickCell(mainWindow_->favouritesGrid, 0, 0);
    ASSERT_EQ(State().CurrentStation, 2);
    clickCell(mainWindow_->favouritesGrid, 1, 0);
    EXPECT_EQ(errors_, QStringList{"File not found"});
    EXPECT_EQ(State().CurrentStation, 2);
    EXPECT_EQ(starHint(), "Remove from favourites");
}

TEST_F(StationGridTest, StarAddsAndRemovesTheOpenStation) {
    layOutStations(5);
    start();
    // Before any station is opened the star does nothing.
    mainWindow_->toggleFavourite();
    EXPECT_FALSE(fs::exists(favs()));

    clickCell(mainWindow_->stationGrid, 1, 0);
    EXPECT_EQ(starHint(), "Add to Favourites");
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "2\r\n");
    EXPECT_EQ(starHint(), "Remove from favourites");
    EXPECT_EQ(State().CurrentIsFavourite, 1);
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "");
    EXPECT_EQ(starHint(), "Add to favourites");
    EXPECT_EQ(State().CurrentIsFavourite, 0);
    EXPECT_FALSE(fs::exists(dir_->path() / "favs2.txt"));
}

TEST_F(StationGridTest, StarRemovesDuplicatesTogetherAndEndsALastLineFirst) {
    layOutStations(6);
    put(favs(), "6\r\n2\r\n6");
    start();
    clickCell(mainWindow_->stationGrid, 0, 1);
    ASSERT_EQ(State().CurrentStation, 6);
    EXPECT_EQ(starHint(), "Remove from favourites");
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "2\r\n");
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "2\r\n6\r\n");

    mainWindow_->toggleFavourite();
    EXPECT_EQ(State().CurrentIsFavourite, 0);
    put(favs(), "2"); // edited by hand, no line end
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "2\r\n6\r\n");
}

TEST_F(StationGridTest, BrokenFavouritesFileLeavesStarAndFileAsTheyWere) {
    layOutStations(3);
    start();
    clickCell(mainWindow_->stationGrid, 0, 0);
    mainWindow_->toggleFavourite();
    ASSERT_EQ(starHint(), "Remove from favourites");
    put(favs(), "1\r\noops\r\n");
    mainWindow_->toggleFavourite();
    EXPECT_EQ(errors_, QStringList{"'oops' is not a valid integer value"});
    EXPECT_EQ(bytesOf(favs()), "1\r\noops\r\n");
    EXPECT_EQ(starHint(), "Remove from favourites");
    EXPECT_EQ(State().CurrentIsFavourite, 1);
}

TEST_F(StationGridTest, ShownFavouritesFollowARemovalButNotAnAddition) {
    layOutStations(10);
    put(favs(), "3\r\n8\r\n5\r\n");
    start();
    mainWindow_->showFavourites();
    clickCell(mainWindow_->favouritesGrid, 1, 0);
    ASSERT_EQ(State().CurrentStation, 8);

    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "3\r\n5\r\n");
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{3, 5, 0, 0, 0}));
    EXPECT_EQ(State().FavouriteCount, 2);
    EXPECT_TRUE(mainWindow_->favouritesGrid->isVisible());

    mainWindow_->stationCellSelected(1, 0); // station 2, from the grid beneath
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "3\r\n5\r\n2\r\n");
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{3, 5, 0, 0, 0}));
    EXPECT_EQ(State().FavouriteCount, 2);
    mainWindow_->showFavourites();
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{3, 5, 2, 0, 0}));
    EXPECT_EQ(State().FavouriteCount, 3);
}

TEST_F(StationGridTest, RemovingTheLastShownFavouriteLeavesOneEmptyRow) {
    layOutStations(4);
    put(favs(), "4\r\n");
    start();
    mainWindow_->showFavourites();
    clickCell(mainWindow_->favouritesGrid, 0, 0);
    ASSERT_EQ(State().CurrentStation, 4);
    mainWindow_->toggleFavourite();
    EXPECT_EQ(bytesOf(favs()), "");
    EXPECT_EQ(State().FavouriteCount, 0);
    EXPECT_EQ(mainWindow_->favouritesGrid->rowCount(), 1);
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST_F(StationGridTest, FavouritesNumbersOutsideTheTableTakeNoCell) {
    layOutStations(3);
    put(favs(), "2\r\n0\r\n5000\r\n3\r\n");
    start();
    mainWindow_->showFavourites();
    EXPECT_EQ(firstRow(mainWindow_->favouritesGrid), (std::vector<int>{2, 3, 0, 0, 0}));
    EXPECT_EQ(State().FavouriteCount, 2);
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(StationGridTest, BusyGridsTakeNoClicks) {
    layOutStations(3);
    start();
    mainWindow_->stationGrid->setColumnsEnabled(false);
    clickCell(mainWindow_->stationGrid, 0, 0);
    EXPECT_EQ(State().CurrentStation, -1);
    mainWindow_->stationGrid->setColumnsEnabled(true);
    clickCell(mainWindow_->stationGrid, 0, 0);
    EXPECT_EQ(State().CurrentStation, 1);
}

TEST_F(StationGridTest, AnErrorEscapingAHandlerEndsItInTheErrorBoxAndTheProgramGoesOn) {
    layOutStations(3);
    start();
    ASSERT_TRUE(errors_.isEmpty());
    // The rebuild behind the (hidden) refresh button has no error box of its own.
    put(favs(), "readme\r\n");
    QTest::mouseClick(mainWindow_->reloadButton, Qt::LeftButton);
    EXPECT_EQ(errors_, QStringList{"'readme' is not a valid integer value"});
    EXPECT_EQ(State().StationCount, 3);

    // Steps before the error stay done; the next event is handled as usual.
    QStringList steps;
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        steps.append("before");
        throw std::runtime_error("File not found");
    });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(steps, (QStringList{"before", "before"}));
    EXPECT_EQ(errors_,
              (QStringList{"'readme' is not a valid integer value", "File not found", "File not found"}));
    clickCell(mainWindow_->stationGrid, 1, 0);
    EXPECT_EQ(State().CurrentStation, 2);
}
