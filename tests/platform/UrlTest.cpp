#include "tembrik/platform/Url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tembrik::platform {
namespace {

struct ParseCase {
    const char* text;
    std::optional<std::string> host, port, path, query;
};

TEST(Url, SplitsAnAddressIntoItsParts) {
    const ParseCase table[] = {
        {"http://a.example", "a.example", "", "/", ""},
        {"HTTP://A.example:8000/live.mp3?x=1#frag", "A.example", "8000", "/live.mp3", "?x=1"},
        {"http://[::1]:8080/s", "[::1]", "8080", "/s", ""},
        {"http://u:p@h/x", "h", "", "/x", ""},
        {"http://h/a/./b/../c", "h", "", "/a/c", ""},
        {"http://h?q", "h", "", "/", "?q"},
        // Refused: no authority, no host, a port out of range or not a number, control bytes.
        {"http:/x", {}, {}, {}, {}},
        {"http:///x", {}, {}, {}, {}},
        {"http://h:65536/", {}, {}, {}, {}},
        {"http://h:8o/", {}, {}, {}, {}},
        {"http://[::1/", {}, {}, {}, {}},
        {"http://h/a\r\nX-Injected: 1", {}, {}, {}, {}},
        {"h.example/x", {}, {}, {}, {}},
    };
    for (const auto& c : table) {
        const auto url = parseUrl(c.text);
        ASSERT_EQ(url.has_value(), c.host.has_value()) << c.text;
        if (!url)
            continue;
        EXPECT_EQ(url->scheme, "http") << c.text;
        EXPECT_EQ(url->host, *c.host) << c.text;
        EXPECT_EQ(url->port, *c.port) << c.text;
        EXPECT_EQ(url->path, *c.path) << c.text;
        EXPECT_EQ(url->query, *c.query) << c.text;
    }
    EXPECT_EQ(parseUrl("http://u:p@h/x")->userinfo, "u:p");
    EXPECT_EQ(parseUrl("http://h/x")->portNumber(), 80);
    EXPECT_EQ(parseUrl("https://h/x")->portNumber(), 443);
    EXPECT_EQ(parseUrl("http://h:8000/x")->portNumber(), 8000);
}

TEST(Url, ReferencesResolveAsInABrowser) {
    const struct {
        const char* base;
        const char* ref;
        std::optional<std::string> expected;
    } table[] = {
        {"http://h/dir/list.pls", "a.mp3", "http://h/dir/a.mp3"},
        {"http://h/dir/list.pls", "../../../a", "http://h/a"},
        {"http://h/dir/list.pls", "./", "http://h/dir/"},
        {"http://h/dir/list.pls?x=1", "?y=2", "http://h/dir/list.pls?y=2"},
        {"http://h/dir/list.pls?x=1", "#top", "http://h/dir/list.pls?x=1"},
        {"http://h:8000/dir/", "//o.example:81/y", "http://o.example:81/y"},
        {"https://h/dir/", "/abs", "https://h/abs"},
        {"http://h/", "https://other/x", "https://other/x"},
        {"not an address", "http://alone/x", "http://alone/x"},
        {"not an address", "relative", std::nullopt},
        // Spaces and non-ASCII are sent encoded; control bytes are refused.
        {"http://h/", "a b/ä", "http://h/a%20b/%C3%A4"},
        {"http://h/", "a\nb", std::nullopt},
    };
    for (const auto& c : table) {
        const auto url = resolveUrlReference(c.base, c.ref);
        ASSERT_EQ(url.has_value(), c.expected.has_value()) << c.base << " + " << c.ref;
        if (url) {
            EXPECT_EQ(url->text(), *c.expected) << c.base << " + " << c.ref;
        }
    }
}

} // namespace
} // namespace tembrik::platform
