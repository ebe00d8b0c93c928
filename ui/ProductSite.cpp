#include "ProductSite.h"

QString ProductSite() {
    QString site = qEnvironmentVariable("TEMBRIK_SITE", QStringLiteral("https://tembrik.radio"));
    while (site.endsWith('/'))
        site.chop(1);
    return site;
}
