#include "ProductSite.h"

#include <QtGlobal>

namespace {
constexpr const char* BuiltInProductSite = "http://tembrik.radio";
}

QString ProductSite() {
    QString site = qEnvironmentVariable("TEMBRIK_SITE");
    if (site.isEmpty())
        site = BuiltInProductSite;
    while (site.endsWith('/'))
        site.chop(1);
    return site;
}
