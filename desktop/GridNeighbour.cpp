#include "GridNeighbour.h"

#include <algorithm>

namespace desktop {

std::optional<int> NeighbourCell(const std::vector<int>& stations, int current, int step) {
    const int n = static_cast<int>(stations.size());
    if (n == 0)
        return std::nullopt;
    const auto at = std::find(stations.begin(), stations.end(), current);
    if (at == stations.end())
        return step > 0 ? 0 : n - 1;
    const int from = static_cast<int>(at - stations.begin());
    return ((from + step) % n + n) % n;
}

} // namespace desktop
