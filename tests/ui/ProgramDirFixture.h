#pragma once
// A throw-away program directory for one test: the shipped data copied from the source tree, so a
// test may change or break any file without touching the real program directory.
#include "tembrik/platform/ProgramDir.h"

#include <filesystem>
#include <string>
#include <unistd.h>

class ProgramDirFixture {
public:
    explicit ProgramDirFixture(const std::string& name) {
        dir_ =
            std::filesystem::temp_directory_path() / ("tembrik-" + name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::copy(TEMBRIK_DATA_DIR, dir_, std::filesystem::copy_options::recursive);
        tembrik::platform::setProgramDirForTesting(dir_);
    }
    ~ProgramDirFixture() {
        tembrik::platform::setProgramDirForTesting({});
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ProgramDirFixture(const ProgramDirFixture&) = delete;
    ProgramDirFixture& operator=(const ProgramDirFixture&) = delete;

    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path dir_;
};
