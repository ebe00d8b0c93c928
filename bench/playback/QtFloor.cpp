// The least a Qt Widgets program costs on this machine: a window of the main window's size with one
// line of text, shown for three seconds, then its peak resident memory (VmHWM) in MB on stdout.
// bench/playback/compare-program.sh prints it beside the program's own figure, so that what the
// toolkit takes before any code of ours is plain to see.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window("Tembrik");
    window.setWindowTitle("Qt floor");
    window.resize(501, 373);
    window.show();
    QTimer::singleShot(3000, &app, [&app] {
        std::printf("%.1f\n", static_cast<double>(peakResidentKb()) / 1024.0);
        app.quit();
    });
    return app.exec();
}
