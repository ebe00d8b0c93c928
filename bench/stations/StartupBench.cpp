// Start-up with 1000 stations. Run without arguments: it lays out a catalogue in a temporary
// program directory, then measures a fresh copy of itself there, so the generator's own pictures
// do not count towards the peak memory.
//
//   bench_stations_startup [stations]
//
// Reports the time from creating the main window to the window shown and idle, the peak resident
// memory, how much of that time decoding the logos takes (the same decoding, timed alone, in
// parallel as the rebuild does it and on one thread), and the cost of painting while scrolling.
#include "CatalogueGenerator.h"

#include "app/PlayerState.h"
#include "stations/GridModel.h"
#include "stations/Logo.h"
#include "tembrik/platform/ProgramDir.h"
#include "ui/Application.h"
#include "ui/ErrorBox.h"
#include "ui/ProgramWindows.h"
#include "ui/widgets/LogoGrid.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScrollBar>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of every thread of the process: what the start-up costs whatever else the machine runs.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int Measure(int argc, char** argv, const fs::path& programDir) {
    tembrik::platform::setProgramDirForTesting(programDir);
    const double baseMb = PeakMb();
    TembrikApplication app(argc, argv);
    QApplication::setApplicationName("Tembrik");
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList errors;
    SetMessageBoxHookForTesting([&](const QString& text, bool) { errors << text; });
    const double appMb = PeakMb();

    const auto start = Clock::now();
    const double startCpu = ProcessCpuMs();
    const ProgramWindows windows;
    MainWindow* mainWindow = windows.main.get();
    mainWindow->show();
    // A zero timer runs once the queue holds nothing else: the window is shown, painted and idle.
    QTimer::singleShot(0, &app, &QApplication::quit);
    QApplication::exec();
    const double startupMs = MsSince(start);
    const double startupCpuMs = ProcessCpuMs() - startCpu;
    const double peakMb = PeakMb();

    // The decoding of the rebuild, alone: the all-stations grid and the favourites grid.
    const auto all = tembrik::stations::StationGridModel();
    const auto favourites = tembrik::stations::FavouritesGridModel();
    auto t = Clock::now();
    double cpu = ProcessCpuMs();
    const auto cells = tembrik::stations::LoadLogos(all.Stations, mainWindow->stationGrid->cellPictureSize());
    const auto favCells =
        tembrik::stations::LoadLogos(favourites.Stations, mainWindow->favouritesGrid->cellPictureSize());
    const double decodeMs = MsSince(t);
    const double decodeCpuMs = ProcessCpuMs() - cpu;
    t = Clock::now();
    int pictures = 0;
    std::map<std::string, std::pair<int, double>> byType; // extension: logos, milliseconds
    for (int n : all.Stations) {
        const auto one = Clock::now();
        pictures +=
            tembrik::stations::LoadLogo(n, mainWindow->stationGrid->cellPictureSize()).isNull() ? 0 : 1;
        auto& [count, ms] = byType[State().LogoExtensions[static_cast<std::size_t>(n)]];
        ++count;
        ms += MsSince(one);
    }
    for (int n : favourites.Stations)
        tembrik::stations::LoadLogo(n, mainWindow->favouritesGrid->cellPictureSize());
    const double decodeOneThreadMs = MsSince(t);

    // Painting while scrolling from top to bottom in wheel steps.
    LogoGrid* grid = mainWindow->stationGrid;
    QImage frame(grid->viewport()->size(), QImage::Format_RGB32);
    int frames = 0;
    t = Clock::now();
    for (int y = 0; y <= grid->verticalScrollBar()->maximum(); y += 90) {
        grid->verticalScrollBar()->setValue(y);
        grid->viewport()->render(&frame);
        ++frames;
    }
    const double scrollMs = MsSince(t);

    std::printf("stations                 %d (%d with a picture, %d favourites)\n", State().StationCount,
                pictures, State().FavouriteCount);
    std::printf("start-up errors          %s\n",
                errors.isEmpty() ? "none" : errors.join("; ").toUtf8().constData());
    std::printf("time to idle window      %.0f ms (%.0f ms of CPU time)\n", startupMs, startupCpuMs);
    std::printf(
        "peak memory              %.1f MB (%.1f MB before the application, %.1f MB before the windows)\n",
        peakMb, baseMb, appMb);
    std::printf(
        "logo decoding, parallel  %.0f ms = %.0f%% of the start-up; %.0f ms of CPU time = %.0f%% (%zu + %zu "
        "cells, %d cores)\n",
        decodeMs, 100.0 * decodeMs / startupMs, decodeCpuMs, 100.0 * decodeCpuMs / startupCpuMs, cells.size(),
        favCells.size(), static_cast<int>(std::thread::hardware_concurrency()));
    std::printf("logo decoding, 1 thread  %.0f ms\n", decodeOneThreadMs);
    for (const auto& [extension, cost] : byType)
        std::printf("  %-6s                 %4d logos, %.2f ms each\n",
                    extension.empty() ? "(none)" : extension.c_str(), cost.first, cost.second / cost.first);
    std::printf("scrolling                %.2f ms per painted frame (%d frames of %dx%d)\n",
                scrollMs / frames, frames, frame.width(), frame.height());
    return errors.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--measure")
        return Measure(argc, argv, argv[2]);
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    CatalogueMix mix;
    if (argc >= 2)
        mix.stations = std::atoi(argv[1]);
    const fs::path dir = fs::temp_directory_path() / ("tembrik-bench-stations-" + std::to_string(::getpid()));
    int rc = 1;
    {
        int genArgc = 1;
        QGuiApplication generatorApp(genArgc, argv);
        const auto t = Clock::now();
        const CatalogueCounts c = GenerateCatalogue(dir, TEMBRIK_DATA_DIR, mix);
        std::printf(
            "catalogue                %d JPEG, %d PNG, %d GIF, %d broken, %d without picture; %.1f MB of "
            "logos (made in %.0f ms)\n",
            c.jpeg, c.png, c.gif, c.broken, c.missing, static_cast<double>(c.logoBytes) / 1e6, MsSince(t));
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        execl(self.c_str(), self.c_str(), "--measure", dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    fs::remove_all(dir);
    return rc;
}
