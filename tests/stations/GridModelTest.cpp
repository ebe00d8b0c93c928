#include "stations/GridModel.h"

#include "app/PlayerState.h"

#include <gtest/gtest.h>

using namespace tembrik::stations;

TEST(StationGridModel, RowsAndCellsFollowStationCount) {
    const struct {
        int count;
        int rows;
    } cases[] = {{0, 1}, {1, 1}, {4, 1}, {5, 2}, {7, 2}, {10, 3}, {1000, 201}, {-3, 1}, {5000, 201}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ResetPlayerState();
        State().StationCount = c.count;
        const GridModel m = StationGridModel();
        EXPECT_EQ(m.Rows, c.rows);
        const int shown = std::clamp(c.count, 0, MaxStations);
        ASSERT_EQ(static_cast<int>(m.Stations.size()), shown);
        for (int k = 0; k < shown; ++k)
            EXPECT_EQ(m.Stations[static_cast<std::size_t>(k)], k + 1);
    }
}

TEST(StationGridModel, CellStandsForRowTimesFivePlusColumnPlusOne) {
    const struct {
        int column, row, station;
    } cases[] = {{0, 0, 1}, {4, 0, 5}, {0, 1, 6}, {2, 1, 8}, {3, 0, 4}, {4, 199, 1000}};
    for (const auto& c : cases)
        EXPECT_EQ(StationAtCell(c.column, c.row), c.station) << c.column << "," << c.row;
}

TEST(FavouritesGridModel, CellsFollowTheFavouritesInOrder) {
    ResetPlayerState();
    PlayerState& s = State();
    s.FavouriteCells[0] = 3;
    s.FavouriteCells[1] = 8;
    s.FavouriteCells[2] = 5;
    s.FavouriteCells[3] = 9; // stale: past FavouriteCount
    s.FavouriteCount = 3;
    const GridModel m = FavouritesGridModel();
    EXPECT_EQ(m.Rows, 1);
    EXPECT_EQ(m.Stations, (std::vector<int>{3, 8, 5}));

    const struct {
        int column, row;
        std::optional<int> station;
    } cases[] = {{0, 0, 3},
                 {1, 0, 8},
                 {2, 0, 5},
                 {3, 0, std::nullopt},
                 {0, 1, std::nullopt},
                 {-1, 0, std::nullopt},
                 {5, 0, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(FavouriteAtCell(c.column, c.row), c.station) << c.column << "," << c.row;
}

TEST(FavouritesGridModel, NoFavouritesIsOneEmptyRow) {
    ResetPlayerState();
    State().FavouriteCount = 0;
    const GridModel m = FavouritesGridModel();
    EXPECT_EQ(m.Rows, 1);
    EXPECT_TRUE(m.Stations.empty());
    EXPECT_EQ(FavouriteAtCell(0, 0), std::nullopt);
}
