#pragma once

namespace tembrik::platform {

// Initialises libcurl once per process (any thread; later calls return at once). Call it before the
// first curl handle is made: it keeps libcurl's global set-up from initialising a crypto library we
// never use (see platform/curl/Curl.cpp).
void initCurl();

} // namespace tembrik::platform
