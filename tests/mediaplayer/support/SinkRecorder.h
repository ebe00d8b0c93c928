#pragma once

#include <QProcess>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace tembrik::mediaplayer::test {

// Records a sound server source (the null sink's monitor) with parec as 16-bit mono at 44.1 kHz and
// measures a tone in it. Reading happens while the caller's event loop runs, so the player under test
// keeps draining its events meanwhile.
class SinkRecorder {
public:
    static constexpr int kSampleRate = 44100;

    SinkRecorder() = default;
    ~SinkRecorder();
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    bool start(const QString& source, QString* error);

    // Skips half a second of fresh audio, then measures the tone in consecutive 100 ms windows until six in a
    // row agree (all within 15 % of each other, or all below `silence`), and returns their median; nothing if
    // the level does not settle before `timeoutMs`. The last levels seen go to `trace` for failure messages.
    std::optional<double> settledToneLevel(double frequency, double silence, int timeoutMs, QString* trace);

private:
    void discardRecorded();
    bool readWindow(std::vector<std::int16_t>& window, int timeoutMs);

    QProcess process_;
    QByteArray pending_;
};

} // namespace tembrik::mediaplayer::test
