#include "SinkRecorder.h"

#include "ChildProcess.h"
#include "ToneMeter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <deque>

namespace tembrik::mediaplayer::test {

namespace {

constexpr int kWindowSamples = SinkRecorder::kSampleRate / 10;
constexpr int kRunLength = 6;
constexpr double kAgreement = 0.15;
// What the player changed reaches the sink through libmpv's and the sound server's buffers, a few
// tenths of a second; audio from that stretch is not measured.
constexpr int kSkippedWindows = 5;

} // namespace

SinkRecorder::~SinkRecorder() {
    stopChild(process_);
}

bool SinkRecorder::start(const QString& source, QString* error) {
    startChild(process_, QStringLiteral("parec"),
               {QStringLiteral("-d"), source, QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                QStringLiteral("--rate=%1").arg(kSampleRate), QStringLiteral("--channels=1"),
                QStringLiteral("--latency-msec=20")});
    if (!process_.waitForStarted(5000)) {
        *error = QStringLiteral("parec did not start: ") + process_.errorString();
        return false;
    }
    return true;
}

void SinkRecorder::discardRecorded() {
    // Audio recorded before now, still in Qt's buffer or in the pipe, describes an older state.
    for (;;) {
        QCoreApplication::processEvents();
        const QByteArray stale = process_.readAllStandardOutput();
        if (stale.isEmpty()) {
            break;
        }
    }
    pending_.clear();
}

bool SinkRecorder::readWindow(std::vector<std::int16_t>& window, int timeoutMs) {
    const qsizetype bytes = kWindowSamples * 2;
    const QDeadlineTimer deadline(timeoutMs);
    while (pending_.size() < bytes) {
        if (process_.state() != QProcess::Running || deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(10);
        pending_ += process_.readAllStandardOutput();
    }
    window.resize(kWindowSamples);
    std::memcpy(window.data(), pending_.constData(), static_cast<std::size_t>(bytes));
    pending_.remove(0, bytes);
    return true;
}

std::optional<double> SinkRecorder::steadyTone(double frequency, int timeoutMs, QString* trace) {
    return settle(frequency, Expect::Sounding, timeoutMs, trace);
}

bool SinkRecorder::toneFallsSilent(double frequency, int timeoutMs, QString* trace) {
    return settle(frequency, Expect::Silent, timeoutMs, trace).has_value();
}

std::optional<double> SinkRecorder::settle(double frequency, Expect expect, int timeoutMs, QString* trace) {
    discardRecorded();
    const QDeadlineTimer deadline(timeoutMs);
    std::deque<double> run;
    std::vector<std::int16_t> window;
    int skipped = 0;
    while (readWindow(window, static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) {
        if (skipped < kSkippedWindows) {
            ++skipped;
            continue;
        }
        run.push_back(toneAmplitude(window, frequency, kSampleRate));
        if (run.size() > kRunLength) {
            run.pop_front();
        }
        *trace = QString();
        for (double level : run) {
            *trace += QString::number(level, 'f', 5) + QLatin1Char(' ');
        }
        if (run.size() < kRunLength) {
            continue;
        }
        const auto [low, high] = std::minmax_element(run.begin(), run.end());
        const bool settled = expect == Expect::Silent
                                 ? *high < kSilence
                                 : *low >= kSilence && *high - *low <= kAgreement * *high;
        if (settled) {
            std::vector<double> sorted(run.begin(), run.end());
            std::sort(sorted.begin(), sorted.end());
            return sorted[sorted.size() / 2];
        }
    }
    return std::nullopt;
}

} // namespace tembrik::mediaplayer::test
