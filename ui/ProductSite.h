#pragma once
#include <QString>

// Scheme, host and optional port of the product site, without a trailing "/": the built-in address,
// or TEMBRIK_SITE when set.
QString ProductSite();
