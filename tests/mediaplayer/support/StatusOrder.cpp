#include "support/StatusOrder.h"

#include <QRegularExpression>

namespace tembrik::mediaplayer::test {

namespace {

QString describe(const std::vector<PlayerObserver::Report>& reports) {
    QString all;
    for (const auto& report : reports) {
        all += QStringLiteral("[%1] %2 | ").arg(static_cast<int>(report.state)).arg(report.text);
    }
    return all;
}

} // namespace

int shownKbps(const QString& text) {
    static const QRegularExpression playing(QStringLiteral(R"(^Воспроизведение: (\d+) Кбит/с$)"));
    const auto match = playing.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

testing::AssertionResult connectsBuffersAndPlays(const std::vector<PlayerObserver::Report>& reports) {
    static const QRegularExpression buffering(QStringLiteral(R"(^Буферизация: (\d+)%$)"));
    const auto fail = [&](const QString& why) {
        return testing::AssertionFailure() << why.toStdString() << " in " << describe(reports).toStdString();
    };
    if (reports.empty() || reports.front().text != QStringLiteral("Подключение...") ||
        reports.front().state != PlayState::Transitioning) {
        return fail(QStringLiteral("does not start connecting"));
    }
    std::size_t i = 1;
    for (; i < reports.size(); ++i) {
        const auto match = buffering.match(reports[i].text);
        if (!match.hasMatch()) {
            break;
        }
        if (reports[i].state != PlayState::Buffering || match.captured(1).toInt() > 100) {
            return fail(QStringLiteral("bad buffering report %1").arg(i));
        }
    }
    if (i == reports.size()) {
        return fail(QStringLiteral("never plays"));
    }
    for (; i < reports.size(); ++i) {
        const bool playingText =
            reports[i].text == QStringLiteral("Воспроизведение") || shownKbps(reports[i].text) > 0;
        if (!playingText || reports[i].state != PlayState::Playing) {
            return fail(QStringLiteral("report %1 is not a playing one").arg(i));
        }
    }
    for (std::size_t k = 1; k < reports.size(); ++k) {
        if (reports[k].text == reports[k - 1].text) {
            return fail(QStringLiteral("report %1 repeats the text before it").arg(k));
        }
    }
    if (shownKbps(reports.back().text) == 0) {
        return fail(QStringLiteral("ends without a bitrate"));
    }
    return testing::AssertionSuccess();
}

} // namespace tembrik::mediaplayer::test
