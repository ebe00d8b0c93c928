#pragma once
// Saves each address of a list under the file name on the same line of a second list, one after
// the other, in one folder.
#include "tembrik/net/Http.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tembrik::net {

// Entry i is empty when urls[i] was saved as folder/names[i], otherwise the reason it was not; a
// failed download leaves no file behind. A name must be a plain file name (no folder part, not
// "." or ".."). Lists of different lengths raise std::invalid_argument. A cancel ends the list:
// the entries not yet fetched fail with "cancelled".
std::vector<std::string> downloadList(const std::vector<std::string>& urls,
                                      const std::vector<std::string>& names,
                                      const std::filesystem::path& folder, const HttpOptions& options,
                                      const CancelFlag* cancel = nullptr);

} // namespace tembrik::net
