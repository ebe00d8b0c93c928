#include "PlayerObserver.h"

#include <QTest>

namespace tembrik::mediaplayer::test {

PlayerObserver::PlayerObserver(MediaPlayer& player) : player_(player) {
    QObject::connect(&player_, &MediaPlayer::statusChanged, &player_, [this] {
        reports_.push_back({player_.playState(), player_.status()});
    });
}

QStringList PlayerObserver::texts() const {
    QStringList texts;
    for (const auto& report : reports_) {
        texts << report.text;
    }
    return texts;
}

bool PlayerObserver::waitFor(const std::function<bool(const Report&)>& done, int timeoutMs) {
    return QTest::qWaitFor([&] { return done({player_.playState(), player_.status()}); }, timeoutMs);
}

bool PlayerObserver::waitForTextStarting(const QString& prefix, int timeoutMs) {
    return waitFor([&](const Report& r) { return r.text.startsWith(prefix); }, timeoutMs);
}

} // namespace tembrik::mediaplayer::test
