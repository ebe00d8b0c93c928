#pragma once

#include <QString>

namespace tembrik::mediaplayer::detail {

// Whether the player opens this address. Only network streaming schemes are let through: station
// files come from imported web pages, and libmpv would otherwise also open local files, inherited
// file descriptors and its own pseudo-protocols.
bool isPlayableAddress(const QString& url);

} // namespace tembrik::mediaplayer::detail
