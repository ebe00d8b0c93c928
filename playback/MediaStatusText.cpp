#include "MediaStatusText.h"

namespace playback {

std::optional<QString> BitrateFromStatus(const QString& status) {
    const QString marker = QStringLiteral("/с");
    if (!status.contains(marker))
        return std::nullopt;
    const qsizetype colon = status.indexOf(QStringLiteral(": "));
    const qsizetype start = colon < 0 ? 1 : colon + 2;
    const qsizetype end = status.indexOf(marker, start);
    return (end < 0 ? QString() : status.mid(start, end - start)) + marker;
}

} // namespace playback
