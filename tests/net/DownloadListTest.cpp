// The list download: each address saved under its own name, failures leaving no file.
#include "tembrik/net/DownloadList.h"
#include "support/TestServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

using namespace std::chrono_literals;
using tembrik::audio::test::Connection;
using tembrik::audio::test::TestServer;
namespace fs = std::filesystem;

namespace {

std::string BytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class DownloadListTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("tembrik-net-list-" + std::to_string(::getpid()));
        fs::remove_all(root);
        folder = root / "into";
        fs::create_directories(folder);
        options.connectTimeout = 2000ms;
        options.readTimeout = 2000ms;
        server.route("/a.png", [](Connection& c) {
            const std::string png("\x89PNG\r\n\x1a\n\0\0", 10);
            c.send(TestServer::httpHeader(200, "image/png", static_cast<long long>(png.size())) + png);
        });
        server.route("/b.gif",
                     [](Connection& c) { c.send(TestServer::httpHeader(200, "image/gif", 6) + "GIF89a"); });
        server.route("/missing",
                     [](Connection& c) { c.send(TestServer::httpHeader(404, "text/html", 4) + "gone"); });
        // Half an answer, then the connection drops.
        server.route("/cut", [](Connection& c) {
            c.send(TestServer::httpHeader(200, "image/jpeg", 100) + "\xff\xd8");
        });
    }
    void TearDown() override { fs::remove_all(root); }

    TestServer server;
    tembrik::net::HttpOptions options;
    fs::path root, folder;
};

TEST_F(DownloadListTest, SavesEachAddressUnderItsNameAndFailuresLeaveNoFile) {
    const std::vector<std::string> urls = {server.url("/a.png"), server.url("/missing"), server.url("/cut"),
                                           server.url("/b.gif")};
    const auto errors = tembrik::net::downloadList(urls, {"1", "2", "3", "4"}, folder, options);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "");
    EXPECT_NE(errors[1].find("404"), std::string::npos) << errors[1];
    EXPECT_FALSE(errors[2].empty());
    EXPECT_EQ(errors[3], "");
    EXPECT_EQ(BytesOf(folder / "1"), std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    EXPECT_FALSE(fs::exists(folder / "2"));
    EXPECT_FALSE(fs::exists(folder / "3"));
    EXPECT_EQ(BytesOf(folder / "4"), "GIF89a");
}

TEST_F(DownloadListTest, NamesThatAreNotPlainFileNamesAreRefused) {
    const std::vector<std::string> names = {"../escaped", "sub/file", "..", ""};
    const std::vector<std::string> urls(names.size(), server.url("/b.gif"));
    const auto errors = tembrik::net::downloadList(urls, names, folder, options);
    for (const std::string& e : errors)
        EXPECT_NE(e.find("not a plain file name"), std::string::npos) << e;
    EXPECT_EQ(server.connections("/b.gif"), 0);
    EXPECT_FALSE(fs::exists(root / "escaped"));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(DownloadListTest, ListsOfDifferentLengthsAreRefused) {
    EXPECT_THROW(tembrik::net::downloadList({server.url("/a.png")}, {}, folder, options),
                 std::invalid_argument);
}

} // namespace
