#include "HlsStation.h"

#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace tembrik::mediaplayer::test {

namespace {

// The encoder runs in real time and never longer than this, even if nobody stops it.
constexpr int kMaxStationSeconds = 120;

int segmentsListed(const QString& playlist) {
    QFile file(playlist);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return static_cast<int>(file.readAll().count(".ts"));
}

} // namespace

HlsStation::~HlsStation() {
    stopChild(server_);
    stopChild(encoder_);
}

void HlsStation::launch(double toneHz, int bitrateKbps) {
    encoder_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    encoder_.setStandardOutputFile(QProcess::nullDevice());
    startChild(encoder_, QStringLiteral("ffmpeg"),
               {QStringLiteral("-nostdin"),
                QStringLiteral("-loglevel"),
                QStringLiteral("error"),
                QStringLiteral("-re"),
                QStringLiteral("-f"),
                QStringLiteral("lavfi"),
                QStringLiteral("-i"),
                QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(toneHz),
                QStringLiteral("-t"),
                QString::number(kMaxStationSeconds),
                QStringLiteral("-c:a"),
                QStringLiteral("aac"),
                QStringLiteral("-b:a"),
                QStringLiteral("%1k").arg(bitrateKbps),
                QStringLiteral("-f"),
                QStringLiteral("hls"),
                QStringLiteral("-hls_time"),
                QStringLiteral("1"),
                QStringLiteral("-hls_list_size"),
                QStringLiteral("6"),
                QStringLiteral("-hls_flags"),
                QStringLiteral("delete_segments"),
                dir_.filePath(QStringLiteral("live.m3u8"))});

    server_.setWorkingDirectory(dir_.path());
    server_.setStandardErrorFile(QProcess::nullDevice());
    startChild(server_, QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("0")});
}

bool HlsStation::waitUntilLive(QString* error) {
    if (!dir_.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    const QDeadlineTimer deadline(15000);
    static const QRegularExpression portPattern(QStringLiteral(R"(port (\d+))"));
    while (port_ == 0 && !deadline.hasExpired() && server_.state() != QProcess::NotRunning) {
        server_.waitForReadyRead(100);
        banner_ += server_.readAllStandardOutput();
        if (const auto match = portPattern.match(QString::fromUtf8(banner_)); match.hasMatch()) {
            port_ = match.captured(1).toInt();
        }
    }
    if (port_ == 0) {
        *error = QStringLiteral("http.server did not report its port: ") + QString::fromUtf8(banner_);
        return false;
    }
    const QString playlist = dir_.filePath(QStringLiteral("live.m3u8"));
    while (segmentsListed(playlist) < 3) {
        if (deadline.hasExpired() || encoder_.state() == QProcess::NotRunning) {
            *error = QStringLiteral("ffmpeg wrote no HLS playlist in time");
            return false;
        }
        QTest::qWait(100);
    }
    return true;
}

QString HlsStation::playlistUrl() const {
    return urlOf(QStringLiteral("live.m3u8"));
}

QString HlsStation::urlOf(const QString& fileName) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(fileName);
}

} // namespace tembrik::mediaplayer::test
