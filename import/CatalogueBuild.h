#pragma once
// The new catalogue is built in a folder of its own beside Stations and put in Stations' place in
// one step, only once it is whole; until then the old catalogue stays as it was, file for file.
#include <filesystem>
#include <string>

class CatalogueBuild {
public:
    // Creates the empty build folder, removing one an interrupted import left behind. Raises
    // FileError when it cannot be created.
    CatalogueBuild();
    // Removes the build folder unless it was swapped in.
    ~CatalogueBuild();
    CatalogueBuild(const CatalogueBuild&) = delete;
    CatalogueBuild& operator=(const CatalogueBuild&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

    // Writes station n's file in the build folder: two Windows-1251 lines, each ended by CR LF.
    // Both texts are Windows-1251 already. Raises FileError.
    void writeStation(int station, const std::string& url, const std::string& name) const;

    // Gives stations 1..count that have no logo file an empty one, which DetectLogoType marks as
    // no picture: the directory scan counts two files per station. Raises FileError.
    void fillMissingLogos(int count) const;

    // Puts the build folder in Stations' place and removes the old catalogue. When the last
    // step fails, the old catalogue is put back and FileError raised.
    void swapIn();

private:
    std::filesystem::path folder_;
    bool swapped_ = false;
};
