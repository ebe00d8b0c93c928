#pragma once
#include <QString>

// The product site's address without a trailing slash; TEMBRIK_SITE replaces it (a mirror, a test).
QString ProductSite();
