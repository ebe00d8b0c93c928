#include "import/TextCut.h"
#include "import/StationBlocks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextCut, TextBetweenByTable) {
    struct Case {
        const char *start, *end, *text, *expected;
    } cases[] = {
        {"[", "]", "a[b]c", "b"},    {"[", "]", "a[bc", ""}, // no end after the start
        {"[", "]", "a[]c", ""},                              // the end begins the rest
        {"[", "]", "a]b[c]d", "c"},                          // the end is searched after the start
        {"<<", ">", "x>y", ""},   // no start: the search begins at offset length(start) - 1
        {"<<", ">", "xy>z", "y"}, // … so the text before it is cut away
        {"", ">", "ab>c", "ab"},  // an empty start: the whole text
        {"[", "", "a[b]c", ""},   // an empty end never occurs
        {"[", "]", "a[b]c[d]", "b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextBetween(c.start, c.end, c.text), c.expected)
            << c.start << " " << c.end << " " << c.text;
}

TEST(TextCut, ReplaceAllTextByTable) {
    struct Case {
        const char *text, *pattern, *replacement, *expected;
    } cases[] = {
        {"aaa", "aa", "b", "ba"}, // left to right, not overlapping
        {"aaa", "x", "b", "aaa"},
        {"aaa", "", "b", "aaa"},
        {"abab", "ab", "aba", "abaaba"}, // a replacement is not searched again
        {"&laquo;R&raquo;", "&laquo;", "", "R&raquo;"},
        {"", "a", "b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceAllText(c.text, c.pattern, c.replacement), c.expected) << c.text << " " << c.pattern;
}

TEST(StationBlocks, NamesStayOneLine) {
    EXPECT_EQ(CleanStationName("&laquo;Rad&#1110;o&raquo; &amp; Co"), "Radio &amp; Co");
    EXPECT_EQ(CleanStationName(std::string("a\r\nb\0c", 6)), "a  b c");
}

TEST(StationBlocks, LogoPathsStayOnTheSite) {
    struct Case {
        std::string path;
        bool safe;
    } cases[] = {
        {"logos/1.png", true}, {"img.php?id=3", true}, {"", false},     {"/etc/passwd", false},
        {"../x.png", false},   {"a/../../x", false},   {"a/..", false}, {std::string("a\r\nb"), false},
        {"a\tb.png", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeLogoPath(c.path), c.safe) << c.path;
}

} // namespace
