#include "tembrik/platform/Integer.h"
#include "tembrik/platform/Errors.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using tembrik::platform::ConvertError;
using tembrik::platform::parseInt;
using tembrik::platform::tryParseInt;

TEST(Integer, AcceptsTheFilesNumberForms) {
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"12", 12},
        {" 12", 12},
        {"   -3", -3},
        {"+7", 7},
        {"$1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$FFFFFFFF", -1},
        {"12 ", {}},
        {"", {}},
        {" ", {}},
        {"1e3", {}},
        {"-", {}},
        {"$", {}},
        {"0x", {}},
        {"\t5", {}},
        {"2147483648", {}},
        {"$1FFFFFFFF", {}},
        {"12\r", {}},
        {"1 2", {}},
        {"0x1G", {}},
        {"--1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("text: \"") + c.text + "\"");
        EXPECT_EQ(tryParseInt(c.text), c.value);
    }
}

TEST(Integer, ErrorNamesTheTextBetweenQuotes) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "'' is not a valid integer value"},
        {"12 ", "'12 ' is not a valid integer value"},
        {"1e3", "'1e3' is not a valid integer value"},
        {"readme", "'readme' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        try {
            parseInt(c.text);
            ADD_FAILURE() << "no error for \"" << c.text << "\"";
        } catch (const ConvertError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}
