#include "StationFixture.h"

#include "stations/StationStore.h"
#include "tembrik/platform/Errors.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace tembrik::stations;
using tembrik::platform::FileError;

namespace {

class StationStoreTest : public StationFixture {};

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string url, title, engine;
};

} // namespace

TEST_F(StationStoreTest, ReadsLinesByPositionWithTheEngineFlagAsWritten) {
    const ReadCase cases[] = {
        {"two lines", "http://a/\r\nAlpha\r\n", "http://a/", "Alpha", "0"},
        {"three lines, main", "http://a/\r\nAlpha\r\n0\r\n", "http://a/", "Alpha", "0"},
        {"three lines, alternative", "http://a/\r\nAlpha\r\n1\r\n", "http://a/", "Alpha", "1"},
        {"empty third line", "http://a/\r\nAlpha\r\n\r\n", "http://a/", "Alpha", ""},
        {"third line ' 1'", "http://a/\r\nAlpha\r\n 1\r\n", "http://a/", "Alpha", " 1"},
        {"third line '2'", "http://a/\r\nAlpha\r\n2", "http://a/", "Alpha", "2"},
        {"title without line end", "http://a/\r\nAlpha", "http://a/", "Alpha", "0"},
        {"one line", "http://a/\r\n", "http://a/", "", "0"},
        {"empty file", "", "", "", "0"},
        {"LF only, lines after the third", "u\nt\n1\nextra\n", "u", "t", "1"},
        {"Windows-1251 title", "u\r\n\xD0\xE0\xE4\xE8\xEE \xC7\xE5\xED\xE8\xF2\r\n", "u", "Радио Зенит", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        putStation(3, c.bytes);
        const StationFile f = ReadStationFile(3);
        EXPECT_EQ(f.Url, c.url);
        EXPECT_EQ(f.Title, c.title);
        EXPECT_EQ(f.Engine, c.engine);
    }
}

TEST_F(StationStoreTest, MissingStationFileIsFileNotFound) {
    try {
        ReadStationFile(9);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST_F(StationStoreTest, WriteReplacesTheWholeFileInWindows1251WithCrLf) {
    putStation(4, "old url\r\nold title\r\n1\r\nleft over line\r\n");
    WriteStationFile(4, {"http://new/", "Новое", "0"});
    EXPECT_EQ(bytesOf(stations() / "play4.txt"), "http://new/\r\n\xCD\xEE\xE2\xEE\xE5\r\n0\r\n");
    // Nothing is left beside it.
    EXPECT_EQ(entries(stations()), std::vector<std::string>{"play4.txt"});
}

TEST_F(StationStoreTest, WriteCreatesAMissingStationFile) {
    WriteStationFile(7, {"u", "t", "1"});
    EXPECT_EQ(bytesOf(stations() / "play7.txt"), "u\r\nt\r\n1\r\n");
}

TEST_F(StationStoreTest, WriteFailuresLeaveTheOldFileAndSayWhy) {
    const struct {
        const char* name;
        bool readOnly;
        bool removeDirectory;
        const char* error;
    } cases[] = {
        {"read-only station file", true, false, "File access denied"},
        {"no Stations directory", false, true, "File not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(stations());
        putStation(2, "keep\r\nme\r\n");
        if (c.readOnly)
            fs::permissions(stations() / "play2.txt", fs::perms::owner_read | fs::perms::group_read);
        if (c.removeDirectory)
            fs::remove_all(stations());
        try {
            WriteStationFile(2, {"x", "y", "0"});
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        if (!c.removeDirectory) {
            EXPECT_EQ(bytesOf(stations() / "play2.txt"), "keep\r\nme\r\n");
            EXPECT_EQ(entries(stations()), std::vector<std::string>{"play2.txt"});
            fs::permissions(stations() / "play2.txt", fs::perms::owner_write, fs::perm_options::add);
        }
    }
}

TEST(StationNumber, UsableRangeIsOneToOneThousand) {
    for (long long n : {0LL, -1LL, 1001LL, 4294967297LL})
        EXPECT_FALSE(IsStationNumber(n)) << n;
    for (long long n : {1LL, 500LL, 1000LL})
        EXPECT_TRUE(IsStationNumber(n)) << n;
}
