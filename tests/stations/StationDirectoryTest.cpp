#include "StationFixture.h"

#include "stations/StationDirectory.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace tembrik::stations;

namespace {

class StationDirectoryTest : public StationFixture {
protected:
    // play1.txt … playN.txt and 1.jpg, 2.gif, 3.png, 4.jpg … (empty files: the scan reads names only).
    void putCatalogue(int n) const {
        const char* extensions[] = {".jpg", ".gif", ".png"};
        for (int i = 1; i <= n; ++i) {
            putStation(i, "");
            put(stations() / (std::to_string(i) + extensions[(i - 1) % 3]), "");
        }
    }
};

} // namespace

TEST_F(StationDirectoryTest, CountsHalfTheEntriesWhateverTheyAre) {
    const struct {
        const char* name;
        std::vector<std::string> extra;
        int stations;
    } cases[] = {
        {"7 stations, 14 entries", {}, 7},
        {"a stray name beginning with p", {"pstray"}, 7},
        {"a station file past the others", {"play8.txt"}, 8},
        {"an odd entry counts as one more station", {"8.png"}, 8},
        {"a logo without extension is an entry too", {"8.png", "9"}, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(stations());
        fs::create_directories(stations());
        putCatalogue(7);
        for (const auto& e : c.extra)
            put(stations() / e, "x");
        ScanStationsDirectory();
        EXPECT_EQ(State().StationCount, c.stations);
    }
}

TEST_F(StationDirectoryTest, EmptyOrMissingDirectoryGivesNoStations) {
    State().StationCount = 5;
    ScanStationsDirectory();
    EXPECT_EQ(State().StationCount, 0);
    State().StationCount = 5;
    fs::remove_all(stations());
    ScanStationsDirectory();
    EXPECT_EQ(State().StationCount, 0);
}

TEST_F(StationDirectoryTest, LearnsEachLogosExtensionFromItsName) {
    State().LogoExtensions[5] = ".png";
    State().LogoExtensions[6] = ".gif"; // station 6 has no logo file: kept
    put(stations() / "12.gif", "");
    put(stations() / "3.txt", "");
    put(stations() / "5", "");
    fs::create_directories(stations() / "9");
    put(stations() / "1.jpg", "");
    put(stations() / "4.png.png", ""); // every occurrence of the extension goes
    ScanStationsDirectory();
    const auto& ext = State().LogoExtensions;
    EXPECT_EQ(ext[12], ".gif");
    EXPECT_EQ(ext[3], ".txt");
    EXPECT_EQ(ext[5], "");
    EXPECT_EQ(ext[9], "");
    EXPECT_EQ(ext[1], ".jpg");
    EXPECT_EQ(ext[4], ".png");
    EXPECT_EQ(ext[6], ".gif");
    EXPECT_EQ(State().StationCount, 3);
}

TEST_F(StationDirectoryTest, StrayNamesAreSkippedAndTheRestIsScanned) {
    const struct {
        const char* entry;
        bool directory;
    } cases[] = {
        {"readme.txt", false},   {"Thumbs.db", false},     {"covers", true},           {"12", true},
        {".png", false},         {"7.png.bak", false},     {"99999999999.png", false}, {"play.txt", false},
        {"playlist.m3u", false}, {"play3.txt.bak", false}, {"play9.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        fs::remove_all(stations());
        fs::create_directories(stations());
        putCatalogue(7);
        if (c.directory)
            fs::create_directories(stations() / c.entry);
        else
            put(stations() / c.entry, "");
        ResetPlayerState();
        State().StationCount = 3;
        testing::internal::CaptureStderr();
        EXPECT_NO_THROW(ScanStationsDirectory());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, std::string("tembrik: skipped \"") + c.entry +
                            "\" in Stations: not a station file or a logo\n");
        EXPECT_EQ(State().StationCount, 7);
        const char* extensions[] = {".jpg", ".gif", ".png"};
        for (int n = 1; n <= 7; ++n)
            EXPECT_EQ(State().LogoExtensions[static_cast<std::size_t>(n)], extensions[(n - 1) % 3]) << n;
        EXPECT_EQ(State().LogoExtensions[12], "");
    }
}

TEST_F(StationDirectoryTest, ThumbnailCachesGoInAnyCaseAndNothingElse) {
    putCatalogue(1);
    for (const char* name : {"thumbs.db", "Thumbs.db", "THUMBS.DB", "thumbs.db.txt", "Thumbs"})
        put(stations() / name, "x");
    fs::create_directories(stations() / "tHuMbS.dB");
    RemoveThumbnailCaches();
    EXPECT_EQ(entries(stations()),
              (std::vector<std::string>{"1.jpg", "Thumbs", "play1.txt", "tHuMbS.dB", "thumbs.db.txt"}));
}

TEST_F(StationDirectoryTest, NumbersOutsideTheTableAreCountedButNeverRecorded) {
    for (const char* name : {"0.png", "1001.jpg", "-4.gif", "2.png"})
        put(stations() / name, "");
    ScanStationsDirectory();
    EXPECT_EQ(State().StationCount, 2);
    EXPECT_EQ(State().LogoExtensions[2], ".png");
    EXPECT_EQ(State().LogoExtensions[0], "");
    EXPECT_EQ(State().LogoExtensions[1000], "");
}

TEST_F(StationDirectoryTest, NeverCountsMoreStationsThanTheTableHolds) {
    for (int i = 1; i <= 1001; ++i) {
        putStation(i, "");
        put(stations() / (std::to_string(i) + ".png"), "");
    }
    ScanStationsDirectory();
    EXPECT_EQ(State().StationCount, 1000);
    EXPECT_EQ(State().LogoExtensions[1000], ".png");
}

TEST_F(StationDirectoryTest, DetectLogoTypeByFirstByte) {
    const struct {
        const char* name;
        std::string bytes;
        const char* newName;
        const char* entry; // LogoExtensions after, starting from "old"
    } cases[] = {
        {"GIF", "GIF89a...", "6.gif", ".gif"},
        {"PNG", "\x89PNG\r\n\x1A\n", "6.png", ".png"},
        {"JPEG", "\xFF\xD8\xFF\xE0", "6.jpg", ".jpg"},
        {"empty download", "", "6.txt", "old"},
        {"starts with the end-of-file mark", "\x1A rest", "6.txt", "old"},
        {"web page", "<html>", "6", "old"},
        {"only the first byte counts", "xGIF89a", "6", "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(stations());
        fs::create_directories(stations());
        put(stations() / "6", c.bytes);
        State().LogoExtensions[6] = "old";
        DetectLogoType(6);
        EXPECT_EQ(entries(stations()), std::vector<std::string>{c.newName});
        EXPECT_EQ(bytesOf(stations() / c.newName), c.bytes);
        EXPECT_EQ(State().LogoExtensions[6], c.entry);
    }
}

TEST_F(StationDirectoryTest, DetectLogoTypeWithoutADownloadOrOutsideTheTable) {
    State().LogoExtensions[8] = ".png";
    DetectLogoType(8);
    EXPECT_TRUE(entries(stations()).empty());
    EXPECT_EQ(State().LogoExtensions[8], ".png");

    put(stations() / "1001", "GIF89a");
    DetectLogoType(1001);
    EXPECT_EQ(entries(stations()), std::vector<std::string>{"1001.gif"});
}

TEST_F(StationDirectoryTest, ClearRemovesFilesAndLeavesSubdirectories) {
    putCatalogue(3);
    put(stations() / ".hidden", "");
    fs::create_directories(stations() / "keep" / "inner");
    fs::create_directories(stations() / "empty");
    ClearStationsDirectory();
    EXPECT_EQ(entries(stations()), (std::vector<std::string>{"empty", "keep"}));
    EXPECT_TRUE(fs::exists(stations() / "keep" / "inner"));
}
