#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace tembrik::mediaplayer::test {

// A live HLS station on 127.0.0.1: ffmpeg encodes a sine tone to AAC and keeps a sliding playlist of
// one-second segments in a temporary folder, which Python's http.server serves on a free port. Both
// stop with the object, and with the test process if it dies.
class HlsStation {
public:
    HlsStation() = default;
    ~HlsStation();
    HlsStation(const HlsStation&) = delete;
    HlsStation& operator=(const HlsStation&) = delete;

    // Waits, bounded, until the playlist holds three segments and the server has said its port.
    bool start(double toneHz, int bitrateKbps, QString* error);
    QString playlistUrl() const;
    QString urlOf(const QString& fileName) const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess encoder_;
    QProcess server_;
    int port_ = 0;
};

} // namespace tembrik::mediaplayer::test
