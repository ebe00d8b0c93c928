// The HTTP GET against the tests' own server: answers, errors with their reasons, redirects, the
// read time-out, identity, TLS checking and cancelling.
#include "tembrik/net/Http.h"
#include "support/TestServer.h"
#include "support/UntrustedTlsServer.h"
#include "tembrik/net/BackgroundTask.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using tembrik::audio::test::Connection;
using tembrik::audio::test::TestServer;
using tembrik::audio::test::UntrustedTlsServer;
using tembrik::net::httpGet;
using tembrik::net::HttpOptions;

namespace {

template <class Pred> bool eventually(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A port on 127.0.0.1 that nothing listens on (bound, then released).
void Answer(Connection& c, int status, const std::string& body, const std::string& extra = "") {
    c.send(TestServer::httpHeader(status, "text/plain", static_cast<long long>(body.size()), extra) + body);
}

void Redirect(Connection& c, const std::string& to) {
    Answer(c, 302, "", "Location: " + to + "\r\n");
}

class HttpGetTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.connectTimeout = 2000ms;
        options.readTimeout = 2000ms;
        server.route("/ok", [](Connection& c) { Answer(c, 200, "hello\r\n"); });
        server.route("/empty", [](Connection& c) { Answer(c, 200, ""); });
        server.route("/500", [](Connection& c) { Answer(c, 500, "boom"); });
        server.route("/404", [](Connection& c) { Answer(c, 404, "gone"); });
        server.route("/nolocation", [](Connection& c) { Answer(c, 302, "moved"); });
        // /hopN redirects N times before reaching /ok.
        for (int n = 1; n <= 6; ++n) {
            const std::string next = n == 1 ? "/ok" : "/hop" + std::to_string(n - 1);
            server.route("/hop" + std::to_string(n),
                         [this, next](Connection& c) { Redirect(c, server.url(next)); });
        }
    }
    TestServer server;
    HttpOptions options;
};

TEST_F(HttpGetTest, AnswersAndErrorsByTable) {
    struct Case {
        std::string path;
        bool ok;
        std::string bodyOrReason;
    } cases[] = {
        {"/ok", true, "hello\r\n"},         {"/empty", true, ""},
        {"/500", false, "HTTP 500"},        {"/404", false, "HTTP 404"},
        {"/nolocation", false, "HTTP 302"}, {"/hop5", true, "hello\r\n"},
        {"/hop6", false, "redirect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto r = httpGet(server.url(c.path), options);
        EXPECT_EQ(r.ok, c.ok);
        if (c.ok)
            EXPECT_EQ(r.body, c.bodyOrReason);
        else {
            EXPECT_TRUE(r.body.empty());
            EXPECT_NE(r.error.find(c.bodyOrReason), std::string::npos) << r.error;
        }
    }
}

TEST_F(HttpGetTest, ConnectionRefusedGivesItsReason) {
    const auto r =
        httpGet("http://127.0.0.1:" + std::to_string(tembrik::audio::test::FreeLocalPort()) + "/x", options);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("onnect"), std::string::npos) << r.error;
}

// The read time-out is the longest silence: an answer later than it fails after one request, a
// slow trickle whose pauses are shorter than it arrives whole.
TEST_F(HttpGetTest, ReadTimeoutCountsSilenceNotTheWholeTransfer) {
    server.route("/late", [](Connection& c) {
        if (c.sleep(2500ms))
            Answer(c, 200, "8");
    });
    server.route("/trickle", [](Connection& c) {
        c.send(TestServer::httpHeader(200, "text/plain", 6));
        for (char ch : std::string("abcdef")) {
            if (!c.sleep(600ms) || !c.send(std::string(1, ch)))
                return;
        }
    });
    const auto late = httpGet(server.url("/late"), options);
    EXPECT_FALSE(late.ok);
    EXPECT_NE(late.error.find("timed out"), std::string::npos) << late.error;
    EXPECT_EQ(server.connections("/late"), 1);

    const auto trickle = httpGet(server.url("/trickle"), options);
    EXPECT_TRUE(trickle.ok) << trickle.error;
    EXPECT_EQ(trickle.body, "abcdef");
}

TEST_F(HttpGetTest, SendsTheAgentAndGoesThroughTheProxy) {
    // The tests' server stands in for a proxy: a request through a proxy names the whole address.
    const std::string address = "http://directory.invalid:8080/page";
    std::string agent;
    server.route(address, [&agent](Connection& c) {
        agent = c.header("user-agent");
        Answer(c, 200, "via proxy");
    });
    options.userAgent = "Mozilla/5.0 (Windows; U) Tembrik";
    options.proxy = "127.0.0.1:" + std::to_string(server.port());
    const auto r = httpGet(address, options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "via proxy");
    EXPECT_EQ(agent, options.userAgent);
}

TEST_F(HttpGetTest, AnAnswerLargerThanTheLimitFails) {
    server.route("/big", [](Connection& c) { Answer(c, 200, std::string(5000, 'x')); });
    options.maxBodyBytes = 4096;
    const auto r = httpGet(server.url("/big"), options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_NE(r.error.find("larger"), std::string::npos) << r.error;
}

// A cancel from another thread ends a transfer that would otherwise wait for its time-out, and the
// task's completion runs on the task's own thread.
TEST_F(HttpGetTest, ABackgroundTaskIsCancelledAndReportsCompletion) {
    server.route("/never", [](Connection& c) { c.sleep(60s); });
    options.readTimeout = 0ms;
    tembrik::net::HttpResult result;
    std::atomic<bool> finished{false};
    std::thread::id finishedOn;
    {
        tembrik::net::BackgroundTask task(
            [&](const tembrik::net::CancelFlag& cancel) {
                result = httpGet(server.url("/never"), options, &cancel);
            },
            [&] {
                finishedOn = std::this_thread::get_id();
                finished = true;
            });
        ASSERT_TRUE(eventually([&] { return server.connections("/never") == 1; }, 10s));
        EXPECT_FALSE(task.done());
        task.cancel();
        ASSERT_TRUE(eventually([&] { return finished.load(); }, 10s));
        EXPECT_TRUE(task.done());
        EXPECT_EQ(task.error(), nullptr);
    }
    EXPECT_NE(finishedOn, std::this_thread::get_id());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "cancelled");
}

// TLS certificates are checked: a server whose certificate nobody vouches for is refused, and the
// reason says so. (A trusted local server would need the machine's certificate store changed.)
TEST(HttpsTest, AnUntrustedCertificateIsRefused) {
    UntrustedTlsServer tls;
    ASSERT_TRUE(tls.started()) << tls.error();
    ASSERT_TRUE(tls.waitListening(10s));
    HttpOptions options;
    options.connectTimeout = 5000ms;
    const auto r = httpGet(tls.url(), options);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("certificate"), std::string::npos) << r.error;
}

} // namespace
