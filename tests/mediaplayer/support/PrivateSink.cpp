#include "PrivateSink.h"

#include <QCoreApplication>
#include <QProcess>

#include <atomic>

namespace tembrik::mediaplayer::test {

namespace {

bool runPactl(const QStringList& arguments, QString* output) {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    if (!pactl.waitForFinished(5000) || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0) {
        pactl.kill();
        *output = QString::fromLocal8Bit(pactl.readAllStandardError()).trimmed();
        return false;
    }
    *output = QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
    return true;
}

} // namespace

PrivateSink::~PrivateSink() {
    if (!module_.isEmpty()) {
        QString ignored;
        runPactl({QStringLiteral("unload-module"), module_}, &ignored);
    }
}

bool PrivateSink::create(QString* error) {
    static std::atomic<int> created{0};
    name_ =
        QStringLiteral("tembrik_mediaplayer_%1_%2").arg(QCoreApplication::applicationPid()).arg(++created);
    QString output;
    if (!runPactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                   QStringLiteral("sink_name=") + name_, QStringLiteral("rate=44100")},
                  &output)) {
        *error = QStringLiteral("pactl could not load a null sink: ") + output;
        return false;
    }
    module_ = output;
    return true;
}

} // namespace tembrik::mediaplayer::test
