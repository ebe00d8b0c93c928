#include "AddressPolicy.h"

#include <QUrl>
#include <array>

namespace tembrik::mediaplayer::detail {

bool isPlayableAddress(const QString& url) {
    static const std::array<QString, 9> kSchemes{
        QStringLiteral("http"),  QStringLiteral("https"), QStringLiteral("mms"),
        QStringLiteral("mmsh"),  QStringLiteral("mmst"),  QStringLiteral("rtsp"),
        QStringLiteral("rtsps"), QStringLiteral("rtmp"),  QStringLiteral("rtmps"),
    };
    const QUrl parsed(url.trimmed());
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return false;
    }
    const QString scheme = parsed.scheme().toLower();
    for (const QString& allowed : kSchemes) {
        if (scheme == allowed) {
            return true;
        }
    }
    return false;
}

} // namespace tembrik::mediaplayer::detail
