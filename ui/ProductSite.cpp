#include "ProductSite.h"

#include <QDesktopServices>

#include <cstdio>

namespace {

QUrl SiteRoot() {
    const QString override = qEnvironmentVariable("TEMBRIK_SITE");
    if (override.isEmpty())
        return QUrl(ProductSiteAddress);
    const QUrl url(override, QUrl::StrictMode);
    const bool schemeAndHostOnly = url.isValid() && (url.scheme() == "http" || url.scheme() == "https") &&
                                   !url.host().isEmpty() && (url.path().isEmpty() || url.path() == "/") &&
                                   !url.hasQuery() && !url.hasFragment() && url.userInfo().isEmpty();
    if (schemeAndHostOnly)
        return url;
    // A mistyped override must not send the user somewhere unexpected.
    static const bool warned = [&] {
        std::fprintf(stderr, "tembrik: TEMBRIK_SITE \"%s\" is not a scheme, host and port; using %s\n",
                     override.toLocal8Bit().constData(), ProductSiteAddress);
        return true;
    }();
    (void)warned;
    return QUrl(ProductSiteAddress);
}

} // namespace

QString ProductSite() {
    QString site = SiteRoot().toString();
    while (site.endsWith('/'))
        site.chop(1);
    return site;
}

QUrl ProductPageUrl(const QString& path) {
    QUrl url = SiteRoot();
    url.setPath(path);
    return url;
}

void OpenProductPage(const QString& path) {
    const QUrl url = ProductPageUrl(path);
    if (!QDesktopServices::openUrl(url))
        std::fprintf(stderr, "tembrik: no web browser could open %s\n",
                     url.toString().toLocal8Bit().constData());
}
