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

    // Below this amplitude (full scale 1.0) a tone counts as silent; the test stations' tones are 0.125.
    static constexpr double kSilence = 0.002;

    // Skips half a second of fresh audio, then measures the tone in consecutive 100 ms windows until
    // six in a row sound and agree within 15 %, and returns their median; nothing if that does not
    // happen before `timeoutMs`. A dropout of the station (a loaded machine) only delays the answer.
    // The last levels seen go to `trace` for failure messages.
    std::optional<double> steadyTone(double frequency, int timeoutMs, QString* trace);
    // The same wait, for six windows in a row in which the tone is silent.
    bool toneFallsSilent(double frequency, int timeoutMs, QString* trace);

private:
    enum class Expect { Sounding, Silent };
    std::optional<double> settle(double frequency, Expect expect, int timeoutMs, QString* trace);
    void discardRecorded();
    bool readWindow(std::vector<std::int16_t>& window, int timeoutMs);

    QProcess process_;
    QByteArray pending_;
};

} // namespace tembrik::mediaplayer::test
