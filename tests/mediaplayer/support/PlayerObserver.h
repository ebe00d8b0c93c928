#pragma once

#include "tembrik/mediaplayer/MediaPlayer.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace tembrik::mediaplayer::test {

// Writes down every status change of a player as (play state, text) the moment it is signalled,
// the way the program's status handler sees it.
class PlayerObserver {
public:
    struct Report {
        PlayState state;
        QString text;
    };

    explicit PlayerObserver(MediaPlayer& player);

    const std::vector<Report>& reports() const { return reports_; }
    QStringList texts() const;
    void clear() { reports_.clear(); }

    // Runs the event loop until the latest status satisfies `done`, at most `timeoutMs`.
    bool waitFor(const std::function<bool(const Report&)>& done, int timeoutMs);
    bool waitForTextStarting(const QString& prefix, int timeoutMs);

private:
    MediaPlayer& player_;
    std::vector<Report> reports_;
};

} // namespace tembrik::mediaplayer::test
