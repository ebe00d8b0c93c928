#pragma once

#include <QString>

namespace tembrik::mediaplayer::test {

// A null sink of our own on the test's sound server, so that what the player plays is recorded alone:
// other tests play the same station tones on the shared sink at the same time. Unloaded again by the
// destructor; a crashed test leaves it to die with the sound server.
class PrivateSink {
public:
    PrivateSink() = default;
    ~PrivateSink();
    PrivateSink(const PrivateSink&) = delete;
    PrivateSink& operator=(const PrivateSink&) = delete;

    bool create(QString* error);

    QString monitor() const { return name_ + QStringLiteral(".monitor"); }
    // The device name libmpv's PulseAudio output takes.
    QString playerDevice() const { return QStringLiteral("pulse/") + name_; }

private:
    QString name_;
    QString module_;
};

} // namespace tembrik::mediaplayer::test
