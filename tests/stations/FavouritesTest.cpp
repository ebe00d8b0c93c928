#include "StationFixture.h"

#include "stations/Favourites.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Errors.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace tembrik::stations;
using tembrik::platform::ConvertError;

namespace {

class FavouritesTest : public StationFixture {
protected:
    fs::path favs() const { return dir() / "favs.txt"; }
};

} // namespace

TEST_F(FavouritesTest, IsFavouriteWhenAnyLineEqualsTheNumber) {
    const struct {
        const char* name;
        const char* bytes;
        int station;
        bool favourite;
    } cases[] = {
        {"listed", "3\r\n8\r\n5\r\n", 8, true},    {"not listed", "3\r\n8\r\n5\r\n", 4, false},
        {"listed twice", "5\r\n5\r\n", 5, true},   {"last line without end", "3\r\n8", 8, true},
        {"read as an integer", " 8\r\n", 8, true}, {"empty file", "", 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(favs(), c.bytes);
        EXPECT_EQ(IsFavourite(c.station), c.favourite);
    }
    fs::remove(favs());
    EXPECT_FALSE(IsFavourite(3));
}

TEST_F(FavouritesTest, ABrokenLineIsReportedEvenAfterAMatch) {
    const struct {
        const char* bytes;
        const char* error;
    } cases[] = {
        {"3\r\nfoo\r\n", "'foo' is not a valid integer value"},
        {"3\r\n\r\n5\r\n", "'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        put(favs(), c.bytes);
        try {
            IsFavourite(3);
            ADD_FAILURE() << "no error";
        } catch (const ConvertError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST_F(FavouritesTest, AddAppendsOnALineOfItsOwn) {
    const struct {
        const char* name;
        const char* before; // nullptr: no favs.txt
        const char* after;
    } cases[] = {
        {"no file yet", nullptr, "7\r\n"},       {"empty file", "", "7\r\n"},
        {"after others", "3\r\n", "3\r\n7\r\n"}, {"last line without end", "3\r\n8", "3\r\n8\r\n7\r\n"},
        {"LF file", "3\n", "3\n7\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(favs());
        if (c.before)
            put(favs(), c.before);
        AddFavourite(7);
        EXPECT_EQ(bytesOf(favs()), c.after);
        EXPECT_TRUE(IsFavourite(7));
    }
}

TEST_F(FavouritesTest, RemoveDropsEveryEqualLineAndKeepsTheRest) {
    const struct {
        const char* name;
        const char* before;
        int station;
        const char* after;
    } cases[] = {
        {"middle of three", "3\r\n8\r\n5\r\n", 8, "3\r\n5\r\n"},
        {"the only one", "8\r\n", 8, ""},
        {"duplicates go together", "8\r\n3\r\n8\r\n", 8, "3\r\n"},
        {"text of kept lines unchanged", " 3\r\n8\r\n+5\n", 8, " 3\r\n+5\r\n"},
        {"numbers outside the table are kept", "2000\r\n8\r\n", 8, "2000\r\n"},
        {"absent number", "3\r\n", 9, "3\r\n"},
        {"last line without end", "3\r\n8", 8, "3\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(favs(), c.before);
        RemoveFavourite(c.station);
        EXPECT_EQ(bytesOf(favs()), c.after);
        EXPECT_FALSE(fs::exists(dir() / "favs2.txt"));
    }
}

TEST_F(FavouritesTest, RemoveWithABrokenLineLeavesTheFileAsItWas) {
    put(favs(), "3\r\nbad\r\n8\r\n");
    EXPECT_THROW(RemoveFavourite(8), ConvertError);
    EXPECT_EQ(bytesOf(favs()), "3\r\nbad\r\n8\r\n");
    EXPECT_FALSE(fs::exists(dir() / "favs2.txt"));
}

TEST_F(FavouritesTest, RemoveWhenTheCompanionCannotBeWrittenLosesNothing) {
    put(favs(), "3\r\n8\r\n");
    fs::create_directories(dir() / "favs2.txt"); // a directory where the companion must go
    EXPECT_THROW(RemoveFavourite(8), tembrik::platform::FileError);
    EXPECT_EQ(bytesOf(favs()), "3\r\n8\r\n");
}

TEST_F(FavouritesTest, RemoveWithoutAFileCreatesNone) {
    RemoveFavourite(3);
    EXPECT_FALSE(fs::exists(favs()));
}

TEST_F(FavouritesTest, LoadCellsReadsTheFileInOrder) {
    put(favs(), "3\r\n8\r\n5\r\n");
    ASSERT_TRUE(LoadFavouriteCells());
    EXPECT_EQ(State().FavouriteCount, 3);
    EXPECT_EQ(State().FavouriteCells[0], 3);
    EXPECT_EQ(State().FavouriteCells[1], 8);
    EXPECT_EQ(State().FavouriteCells[2], 5);
}

TEST_F(FavouritesTest, LoadCellsSkipsNumbersOutsideTheTableAndStopsAtItsSize) {
    std::string bytes = "0\r\n3\r\n1001\r\n-2\r\n";
    for (int i = 0; i < 1005; ++i)
        bytes += std::to_string(i % 1000 + 1) + "\r\n";
    put(favs(), bytes);
    ASSERT_TRUE(LoadFavouriteCells());
    EXPECT_EQ(State().FavouriteCount, 1000);
    EXPECT_EQ(State().FavouriteCells[0], 3);
    EXPECT_EQ(State().FavouriteCells[1], 1);
    EXPECT_EQ(State().FavouriteCells[999], 999);
}

TEST_F(FavouritesTest, LoadCellsLeavesTheCellsAloneWithoutAFileOrOnABrokenLine) {
    State().FavouriteCells[0] = 4;
    State().FavouriteCount = 1;
    EXPECT_FALSE(LoadFavouriteCells());
    put(favs(), "3\r\nx\r\n");
    EXPECT_THROW(LoadFavouriteCells(), ConvertError);
    EXPECT_EQ(State().FavouriteCount, 1);
    EXPECT_EQ(State().FavouriteCells[0], 4);
}

TEST_F(FavouritesTest, EmptyFileIsNoFavourites) {
    put(favs(), "");
    State().FavouriteCount = 2;
    ASSERT_TRUE(LoadFavouriteCells());
    EXPECT_EQ(State().FavouriteCount, 0);
}
