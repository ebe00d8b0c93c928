#pragma once
// The program's windows over a throw-away program directory whose Stations directory a test lays
// out itself; message boxes are recorded instead of shown.
#include "ProgramDirFixture.h"

#include "ui/MainWindow.h"
#include "ui/StationEditor.h"

#include <QColor>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

class LogoGrid;

class StationWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path stations() const { return dir_->path() / "Stations"; }
    std::filesystem::path favs() const { return dir_->path() / "favs.txt"; }

    // Empties Stations, then writes stations 1..count: "Station N" at a local address nothing
    // answers, each with a logo of its own colour. Their engine flag "2" names neither engine, so
    // opening one stops playback and starts nothing: these tests are about the catalogue.
    void layOutStations(int count) const;
    static QColor LogoColour(int station);
    void put(const std::filesystem::path& file, const std::string& bytes) const;
    std::string bytesOf(const std::filesystem::path& file) const;

    // Creates the windows as the program entry does; the main window's start-up fills the grids.
    void start();
    // A real press and release on the cell, as the user clicks it.
    void clickCell(LogoGrid* grid, int column, int row) const;
    QString title() const;

    std::unique_ptr<ProgramDirFixture> dir_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<StationEditor> editor_;
    QStringList errors_;
};
