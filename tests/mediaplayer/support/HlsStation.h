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

    // Starts the encoder and the server without waiting for them.
    void launch(double toneHz, int bitrateKbps);
    // Waits, bounded, until the server has said its port and the playlist holds three segments.
    bool waitUntilLive(QString* error);
    QString playlistUrl() const;
    QString urlOf(const QString& fileName) const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess encoder_;
    QProcess server_;
    int port_ = 0;
    QByteArray banner_;
};

} // namespace tembrik::mediaplayer::test
