#pragma once
// A throw-away program directory with an empty Stations directory and a zeroed PlayerState, plus
// helpers to lay out station files and logos byte for byte.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>

class StationFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path stations() const { return dir_ / "Stations"; }

    void put(const std::filesystem::path& file, const std::string& bytes) const;
    std::string bytesOf(const std::filesystem::path& file) const;
    // Names of the directory's entries, sorted.
    std::vector<std::string> entries(const std::filesystem::path& dir) const;

    // A station file with the given raw bytes, and a logo picture of one colour.
    void putStation(int n, const std::string& bytes) const;
    void putLogo(const std::string& name, const char* format, QColor colour, QSize size = {300, 200}) const;

private:
    std::filesystem::path dir_;
};

// The bytes of a GIF whose logical screen is `canvas` and whose first frame, at the top-left corner,
// is `frame` pixels of `first`; a second frame of `second` covers the same place.
std::string TwoFrameGif(QSize canvas, QSize frame, QColor first, QColor second);
