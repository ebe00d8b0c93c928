#pragma once
// The product site: home page, FAQ and the developer's page. Its address is one constant of the
// program; the environment variable TEMBRIK_SITE (scheme, host and optional port, nothing else, for
// example "http://127.0.0.1:8080") replaces it, so tests can point the links at a server of theirs.
#include <QString>
#include <QUrl>

inline constexpr const char* ProductSiteAddress = "https://tembrik.radio";
inline constexpr const char* HomePage = "/";
inline constexpr const char* FaqPage = "/radio_15_FAQ.html";
inline constexpr const char* DeveloperPage = "/developer.html";

// The site's address without a trailing slash (scheme, host, optional port).
QString ProductSite();

// The address of a page of the product site; `path` starts with "/".
QUrl ProductPageUrl(const QString& path);

// Opens the page in the default web browser. A browser that cannot be started is not reported to
// the user (one line on standard error).
void OpenProductPage(const QString& path);
