#include "stations/GridModel.h"

#include "app/PlayerState.h"

#include <algorithm>

namespace tembrik::stations {

int GridRowCount(int cells) {
    return std::max(0, cells) / GridColumns + 1;
}

GridModel StationGridModel() {
    GridModel m;
    const int count = std::clamp(State().StationCount, 0, MaxStations);
    m.Rows = GridRowCount(count);
    for (int n = 1; n <= count; ++n)
        m.Stations.push_back(n);
    return m;
}

GridModel FavouritesGridModel() {
    const PlayerState& s = State();
    GridModel m;
    const int count = std::clamp(s.FavouriteCount, 0, MaxStations);
    m.Rows = GridRowCount(count);
    m.Stations.assign(s.FavouriteCells.begin(), s.FavouriteCells.begin() + count);
    return m;
}

int StationAtCell(int column, int row) {
    return row * GridColumns + column + 1;
}

std::optional<int> FavouriteAtCell(int column, int row) {
    const PlayerState& s = State();
    const int k = row * GridColumns + column;
    if (column < 0 || column >= GridColumns || row < 0 || k >= std::min(s.FavouriteCount, MaxStations))
        return std::nullopt;
    return s.FavouriteCells[static_cast<std::size_t>(k)];
}

} // namespace tembrik::stations
