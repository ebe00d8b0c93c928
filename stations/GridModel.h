#pragma once
// The logo grids as models: five cells to a row, cell k in reading order at (k mod 5, k div 5), and
// always one row more than the full rows, so the last row has at least one empty cell.
#include <cstdint>
#include <optional>
#include <vector>

namespace tembrik::stations {

constexpr int GridColumns = 5;

struct GridModel {
    int Rows = 1;
    // The station each cell stands for, in reading order; cells past the end are empty.
    std::vector<int> Stations;
};

// Rows for a grid of `cells` cells: cells div 5 + 1.
int GridRowCount(int cells);

// The all-stations grid: cell k stands for station k + 1, for stations 1 to StationCount.
GridModel StationGridModel();

// The favourites grid: cell k stands for FavouriteCells entry k, for the first FavouriteCount entries.
GridModel FavouritesGridModel();

// Station number of the all-stations cell (column, row): row * 5 + column + 1.
int StationAtCell(int column, int row);

// Station of the favourites cell (column, row), or nothing when the cell is past FavouriteCount.
std::optional<int> FavouriteAtCell(int column, int row);

} // namespace tembrik::stations
