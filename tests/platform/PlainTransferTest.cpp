// The plain http:// transfer against the tests' own server on 127.0.0.1, driven the way its owners
// drive it: perform() until it ends, wait() in between.
#include "PlainTransfer.h"
#include "PlainUrl.h"
#include "support/TestServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tembrik::platform;
using namespace tembrik::platform::detail;
using tembrik::audio::test::Connection;
using tembrik::audio::test::TestServer;
using namespace std::chrono_literals;

struct Recorder final : TransferEvents {
    std::vector<std::string> lines;
    std::string body;
    int pieces = 0;
    int pauseEvery = 0; // answer Pause to every n-th piece (offered again after resume)
    bool refuseHeaders = false;
    bool stopOnBody = false;
    bool paused = false;

    bool onHeaderLine(std::string_view line) override {
        lines.emplace_back(line);
        return !refuseHeaders;
    }
    BodyAnswer onBody(std::string_view piece) override {
        EXPECT_LE(piece.size(), 16u * 1024);
        if (stopOnBody)
            return BodyAnswer::Stop;
        ++pieces;
        if (pauseEvery > 0 && !paused && pieces % pauseEvery == 0) {
            paused = true;
            return BodyAnswer::Pause;
        }
        paused = false;
        body.append(piece);
        return BodyAnswer::Take;
    }
    // Whether the lines are whole lines of `answer`, in order, the first at its start.
    bool linesAreIn(std::string_view answer) const {
        std::size_t pos = 0;
        for (const auto& l : lines) {
            std::size_t at = answer.find(l, pos);
            if (at == std::string_view::npos || (pos == 0 && at != 0) || l.back() != '\n')
                return false;
            pos = at + l.size();
        }
        return true;
    }
};

// Runs the transfer to its end, resuming at once whenever the recorder paused it. The bound only
// turns a hang into a failure.
void runToEnd(HttpTransfer& transfer, Recorder& events) {
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < giveUp) {
        if (events.paused) {
            transfer.wait(1); // must not spin on the readable socket, must not read
            transfer.resume();
            continue;
        }
        if (transfer.perform())
            return;
        if (!events.paused)
            transfer.wait(100);
    }
    ADD_FAILURE() << "the transfer did not end";
}

TransferRequest requestFor(const std::string& url) {
    TransferRequest r;
    r.url = url;
    r.connectTimeout = 20s;
    return r;
}

std::unique_ptr<HttpTransfer> start(const TransferRequest& request, Recorder& events,
                                    HandOver handOver = {}) {
    auto t = startPlainTransfer(request, events, std::move(handOver));
    EXPECT_TRUE(t);
    return t;
}

// Sends `answer` and keeps the connection open until the server stops: a transfer that ends
// proves it ended on the answer's own framing, not on the close. Short answers go in pieces of a
// few bytes, so that lines and chunks arrive split across reads.
TestServer::Handler answerAndHold(std::string answer) {
    return [answer](Connection& c) {
        c.sendPaced(answer, answer.size() > 4096 ? 4096 : 7, 0);
        c.sleep(120s);
    };
}

TestServer::Handler answerAndClose(std::string answer) {
    return [answer](Connection& c) { c.send(answer); };
}

std::size_t openDescriptors() {
    auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Calls wake() from another thread all along, as a player's control thread may.
class Waker {
public:
    explicit Waker(HttpTransfer& transfer)
        : thread_([this, &transfer] {
              while (!done_.load()) {
                  transfer.wake();
                  std::this_thread::sleep_for(1ms);
              }
          }) {}
    ~Waker() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

struct AnswerCase {
    const char* name;
    std::string answer;
    bool hold; // keep the connection open after the answer
    TransferFailure failure;
    long status;
    std::string body;
    std::string detail; // a part of result().detail
};

TEST(PlainTransfer, AnswersAreFramedAndJudged) {
    const std::string bigLine = "X-Big: " + std::string(101 * 1024, 'a') + "\r\n";
    const std::vector<AnswerCase> cases = {
        {"until close", "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\nhello world", false,
         TransferFailure::None, 200, "hello world", ""},
        {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", true,
         TransferFailure::None, 200, "hello", ""},
        {"content length zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true, TransferFailure::None,
         200, "", ""},
        {"content length short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello", false,
         TransferFailure::Network, 200, "hello", "closed before the end"},
        {"invalid content length", "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\nabc", true,
         TransferFailure::Network, 200, "", "Content-Length"},
        {"bare line feeds, no reason", "HTTP/1.1 200\nContent-Length: 2\n\nok", true, TransferFailure::None,
         200, "ok", ""},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=x\r\nhello\r\n6 \r\n world\r\n"
         "0\r\nX-Trailer: yes\r\n\r\n",
         true, TransferFailure::None, 200, "hello world", ""},
        {"chunked wins over length",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: "
         "chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n",
         true, TransferFailure::None, 200, "0123456789", ""},
        {"chunked malformed size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nzz\r\n",
         true, TransferFailure::Network, 200, "abc", "chunk"},
        {"chunked size overflow",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000001\r\nabc\r\n", true,
         TransferFailure::Network, 200, "", "chunk"},
        {"chunked cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", false,
         TransferFailure::Network, 200, "hel", "closed before the end"},
        {"icy", "ICY 200 OK\r\nicy-name: test\r\nicy-metaint: 0\r\n\r\nmusic", false, TransferFailure::None,
         200, "music", ""},
        {"continue first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         true, TransferFailure::None, 200, "ok", ""},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", true, TransferFailure::None, 204, "", ""},
        {"redirect without location is final", "HTTP/1.1 302 Found\r\nContent-Length: 4\r\n\r\nhere", true,
         TransferFailure::None, 302, "here", ""},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", true,
         TransferFailure::HttpStatus, 404, "", "HTTP 404"},
        {"http 0.9 garbage", std::string("\x01\x02garbage without lines", 23), true, TransferFailure::Network,
         0, "", "not HTTP"},
        {"unknown status line", "HTTP/x 200 OK\r\n\r\nbody", false, TransferFailure::Network, 0, "",
         "not HTTP"},
        {"empty reply", "", false, TransferFailure::Network, 0, "", "Empty reply"},
        {"header line too long", "HTTP/1.1 200 OK\r\n" + bigLine + "\r\nbody", true,
         TransferFailure::HeaderTooLarge, 200, "", ""},
        {"header line too long, unterminated", "HTTP/1.1 200 OK\r\n" + bigLine.substr(0, 101 * 1024), true,
         TransferFailure::HeaderTooLarge, 200, "", ""},
    };
    const std::size_t descriptors = openDescriptors();
    auto server = std::make_unique<TestServer>();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string path = "/case" + std::to_string(i);
        server->route(path, c.hold ? answerAndHold(c.answer) : answerAndClose(c.answer));
        Recorder events;
        auto t = start(requestFor(server->url(path)), events);
        runToEnd(*t, events);
        TransferResult r = t->result();
        EXPECT_EQ(r.failure, c.failure) << r.detail;
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(t->status(), c.status);
        EXPECT_EQ(events.body, c.body);
        EXPECT_NE(r.detail.find(c.detail), std::string::npos) << r.detail;
        EXPECT_EQ(r.detail.empty(), c.failure == TransferFailure::None) << r.detail;
        if (c.failure == TransferFailure::None || c.failure == TransferFailure::HttpStatus) {
            // Every line went to the handler, with its line break, ending with the empty line.
            ASSERT_FALSE(events.lines.empty());
            EXPECT_EQ(events.lines.back().find_first_not_of("\r\n"), std::string::npos);
            EXPECT_TRUE(events.linesAreIn(c.answer));
            EXPECT_TRUE(t->connectedAt().has_value());
        }
    }
    // Every socket, eventfd and address list of the transfers is gone with them.
    server.reset();
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(PlainTransfer, TrailersAndHeadLinesReachTheHandler) {
    TestServer server;
    server.route("/t", answerAndHold("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                     "2\r\nab\r\n0\r\nX-Trailer: yes\r\n\r\n"));
    Recorder events;
    auto t = start(requestFor(server.url("/t")), events);
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::None);
    std::vector<std::string> expected = {"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked\r\n", "\r\n",
                                         "X-Trailer: yes\r\n", "\r\n"};
    EXPECT_EQ(events.lines, expected);
}

TEST(PlainTransfer, HandlersCanStopIt) {
    TestServer server;
    server.route("/s", answerAndHold("HTTP/1.1 200 OK\r\n\r\nbody"));
    for (bool inHead : {true, false}) {
        Recorder events;
        events.refuseHeaders = inHead;
        events.stopOnBody = !inHead;
        auto t = start(requestFor(server.url("/s")), events);
        runToEnd(*t, events);
        EXPECT_EQ(t->result().failure, TransferFailure::Stopped);
        EXPECT_EQ(events.body, "");
    }
}

TEST(PlainTransfer, SendsTheRequestHeaders) {
    TestServer server;
    std::mutex mutex;
    std::map<std::string, std::string> seen;
    // The server splits the target on '?' and does not decode it: this route matches only when the
    // transfer escaped the space and the UTF-8 bytes.
    server.route("/req%20path/%C3%A9", [&](Connection& c) {
        {
            std::lock_guard lock(mutex);
            for (auto name : {"host", "user-agent", "icy-metadata", "accept"})
                seen[name] = c.header(name);
            seen["query"] = c.query();
        }
        c.send("HTTP/1.0 200 OK\r\n\r\n");
    });
    TransferRequest r = requestFor(server.url("/req path/é?a=b c#fragment"));
    r.userAgent = "Tembrik/1.0";
    r.headers = {"Icy-MetaData: 1"};
    Recorder events;
    auto t = start(r, events);
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::None) << t->result().detail;
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen["host"], "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(seen["user-agent"], "Tembrik/1.0");
    EXPECT_EQ(seen["icy-metadata"], "1");
    EXPECT_EQ(seen["accept"], "*/*");
    EXPECT_EQ(seen["query"], "a=b%20c");
}

TEST(PlainTransfer, NoUserAgentHeaderWhenEmpty) {
    TestServer server;
    std::atomic<bool> hadAgent{true};
    server.route("/ua", [&](Connection& c) {
        hadAgent = !c.header("user-agent").empty();
        c.send("HTTP/1.0 200 OK\r\n\r\n");
    });
    Recorder events;
    auto t = start(requestFor(server.url("/ua")), events);
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::None);
    EXPECT_FALSE(hadAgent.load());
}

TEST(PlainTransfer, ParsesAddresses) {
    struct Case {
        std::string url;
        bool ok;
        std::string host, hostHeader;
        int port;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"http://example.org", true, "example.org", "example.org", 80, "/"},
        {"HTTP://Example.org:8000?x=1#top", true, "Example.org", "Example.org:8000", 8000, "/?x=1"},
        {"http://example.org:80/a b/\xc3\xa9?q=r s", true, "example.org", "example.org", 80,
         "/a%20b/%C3%A9?q=r%20s"},
        {"http://[::1]:8080/x", true, "::1", "[::1]:8080", 8080, "/x"},
        {"http://[2001:db8::1]/", true, "2001:db8::1", "[2001:db8::1]", 80, "/"},
        {"http://10.0.0.1:/x", true, "10.0.0.1", "10.0.0.1", 80, "/x"},
        {"http://host:0/", false, "", "", 0, ""},
        {"http://host:65536/", false, "", "", 0, ""},
        {"http://host:80a/", false, "", "", 0, ""},
        {"http://host:-1/", false, "", "", 0, ""},
        {"http://[::1/", false, "", "", 0, ""},
        {"http://[::1]x/", false, "", "", 0, ""},
        {"http:///path", false, "", "", 0, ""},
        {"http://a b/", false, "", "", 0, ""},
        {"http://host/a\x01", false, "", "", 0, ""},
        {"http://host/a\x7f", false, "", "", 0, ""},
        {"host/path", false, "", "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        PlainUrl u;
        std::string error;
        ASSERT_EQ(parseUrl(c.url, u, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            // The transfer refuses it cleanly, before any connection.
            Recorder events;
            auto t = start(requestFor(c.url), events);
            EXPECT_TRUE(t->perform());
            EXPECT_EQ(t->result().failure, TransferFailure::BadAddress);
            continue;
        }
        EXPECT_EQ(u.host, c.host);
        EXPECT_EQ(u.hostHeader, c.hostHeader);
        EXPECT_EQ(u.port, c.port);
        EXPECT_EQ(u.target, c.target);
    }
}

TEST(PlainTransfer, DecidesWhatItCanDo) {
    struct Case {
        std::string url, proxy;
        bool can;
    };
    const std::vector<Case> cases = {
        {"http://example.org/", "", true},          {"HtTp://example.org/", "", true},
        {"https://example.org/", "", false},        {"http://example.org/", "http://proxy:3128", false},
        {"http://user@example.org/", "", false},    {"http://user:pw@example.org/", "", false},
        {"ftp://example.org/", "", false},          {"http://example.org/a@b", "", true},
        {"http://example.org/?mail=a@b", "", true},
    };
    for (const auto& c : cases) {
        TransferRequest r;
        r.url = c.url;
        r.proxy = c.proxy;
        EXPECT_EQ(plainTransferCanDo(r), c.can) << c.url << " " << c.proxy;
    }
    // Refused cleanly when called anyway.
    Recorder events;
    auto t = start(requestFor("https://example.org/"), events);
    EXPECT_TRUE(t->perform());
    EXPECT_EQ(t->result().failure, TransferFailure::BadAddress);
}

TEST(PlainTransfer, ResolvesRedirectTargets) {
    const std::string base = "http://host:8000/dir/page?q=1#f";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://other/x", "http://other/x"},      {"https://secure/x#frag", "https://secure/x"},
        {"//other:81/x", "http://other:81/x"},     {"/abs?y=2", "http://host:8000/abs?y=2"},
        {"rel", "http://host:8000/dir/rel"},       {"rel/../sib/./x", "http://host:8000/dir/sib/x"},
        {"../up", "http://host:8000/up"},          {"../../../up", "http://host:8000/up"},
        {"?z=3", "http://host:8000/dir/page?z=3"}, {"", "http://host:8000/dir/page?q=1"},
        {"ftp://files/x", "ftp://files/x"},
    };
    for (const auto& [ref, expected] : cases)
        EXPECT_EQ(resolveReference(base, ref), expected) << ref;
    EXPECT_EQ(resolveReference("http://host", "x"), "http://host/x");
}

TEST(PlainTransfer, FollowsRedirectChains) {
    TestServer server;
    const std::string port = std::to_string(server.port());
    server.route("/a/start",
                 answerAndHold("HTTP/1.1 302 Found\r\nLocation: next\r\nContent-Length: 3\r\n\r\nxyz"));
    server.route("/a/next",
                 answerAndClose("HTTP/1.1 301 Moved\r\nLocation: /b/third?x=1\r\n\r\nignored body"));
    server.route("/b/third", answerAndHold("HTTP/1.1 303 See Other\r\nLocation: //127.0.0.1:" + port +
                                           "/c/fourth\r\n\r\n"));
    server.route("/c/fourth", answerAndHold("HTTP/1.1 307 Temporary\r\nLocation: http://localhost:" + port +
                                            "/d/final\r\n\r\n"));
    server.route("/d/final", answerAndHold("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone"));
    server.route("/loop", answerAndHold("HTTP/1.1 308 Permanent\r\nLocation: /loop\r\n\r\n"));

    Recorder events;
    auto t = start(requestFor(server.url("/a/start")), events);
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::None) << t->result().detail;
    EXPECT_EQ(events.body, "done");
    EXPECT_EQ(t->status(), 200);
    EXPECT_EQ(t->effectiveUrl(), "http://localhost:" + port + "/d/final");
    std::vector<std::string> statusLines;
    for (const auto& l : events.lines)
        if (l.rfind("HTTP/", 0) == 0)
            statusLines.push_back(l.substr(9, 3));
    EXPECT_EQ(statusLines, (std::vector<std::string>{"302", "301", "303", "307", "200"}));
    EXPECT_EQ(server.connections("/b/third"), 1);

    struct Limit {
        std::string path;
        long maxRedirects;
        TransferFailure failure;
        std::string detail;
    };
    for (const Limit& c :
         std::vector<Limit>{{"/a/start", 4, TransferFailure::None, ""},
                            {"/a/start", 3, TransferFailure::Network, "Maximum (3) redirects followed"},
                            {"/loop", 0, TransferFailure::Network, "Maximum (0) redirects followed"},
                            {"/loop", 5, TransferFailure::Network, "Maximum (5) redirects followed"}}) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.maxRedirects));
        Recorder limited;
        TransferRequest r = requestFor(server.url(c.path));
        r.maxRedirects = c.maxRedirects;
        auto l = start(r, limited);
        runToEnd(*l, limited);
        EXPECT_EQ(l->result().failure, c.failure);
        EXPECT_EQ(l->result().detail, c.detail);
        EXPECT_EQ(limited.body, c.failure == TransferFailure::None ? "done" : "");
    }
}

// Stands in for the libcurl transfer a redirect to https:// is handed to.
class FakeTransfer : public HttpTransfer {
public:
    std::atomic<int> performs{0}, waits{0}, wakes{0}, resumes{0};
    bool perform() override { return ++performs >= 3; }
    void wait(int) override { ++waits; }
    void wake() override { ++wakes; }
    void resume() override { ++resumes; }
    TransferResult result() const override { return {TransferFailure::Tls, 0, "certificate"}; }
    long status() const override { return 299; }
    std::string effectiveUrl() const override { return "https://fake/"; }
    std::optional<Clock::time_point> connectedAt() const override { return Clock::time_point{}; }
};

TEST(PlainTransfer, HandsRedirectsItCannotFollowOver) {
    TestServer server;
    server.route("/secure",
                 answerAndHold("HTTP/1.1 302 Found\r\nLocation: https://secure.example/x#f\r\n\r\n"));
    server.route("/ftp", answerAndHold("HTTP/1.1 302 Found\r\nLocation: ftp://files.example/x\r\n\r\n"));
    server.route("/first", answerAndHold("HTTP/1.1 301 Moved\r\nLocation: /secure\r\n\r\n"));

    TransferRequest request = requestFor(server.url("/first"));
    request.userAgent = "Tembrik/1.0";
    request.headers = {"Icy-MetaData: 1"};
    request.maxRedirects = 5;
    Recorder events;
    std::vector<TransferRequest> handed;
    FakeTransfer* fake = nullptr;
    auto t = start(request, events, [&](const TransferRequest& next, std::string&) {
        handed.push_back(next);
        auto f = std::make_unique<FakeTransfer>();
        fake = f.get();
        return std::unique_ptr<HttpTransfer>(std::move(f));
    });
    {
        Waker waker(*t); // wake() while the transfer hands over
        runToEnd(*t, events);
    }
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].url, "https://secure.example/x");
    EXPECT_EQ(handed[0].maxRedirects, 3);
    EXPECT_EQ(handed[0].userAgent, "Tembrik/1.0");
    EXPECT_EQ(handed[0].headers, request.headers);
    EXPECT_EQ(handed[0].connectTimeout, request.connectTimeout);
    ASSERT_TRUE(fake);
    // Every call goes to the transfer that took over.
    EXPECT_EQ(fake->performs.load(), 3);
    int waits = fake->waits.load();
    t->wait(10);
    std::thread([&] { t->wake(); }).join();
    t->resume();
    EXPECT_EQ(fake->waits.load(), waits + 1);
    EXPECT_GE(fake->wakes.load(), 1);
    EXPECT_EQ(fake->resumes.load(), 1);
    EXPECT_EQ(t->result().failure, TransferFailure::Tls);
    EXPECT_EQ(t->status(), 299);
    EXPECT_EQ(t->effectiveUrl(), "https://fake/");
    EXPECT_TRUE(t->connectedAt().has_value());

    // Nobody takes it over: the reason given is the transfer's.
    Recorder refused;
    auto r =
        start(requestFor(server.url("/secure")), refused, [](const TransferRequest&, std::string& error) {
            error = "the module could not be loaded";
            return std::unique_ptr<HttpTransfer>();
        });
    runToEnd(*r, refused);
    EXPECT_EQ(r->result().failure, TransferFailure::Network);
    EXPECT_EQ(r->result().detail, "the module could not be loaded");

    Recorder ftp;
    bool called = false;
    auto f = start(requestFor(server.url("/ftp")), ftp, [&](const TransferRequest&, std::string&) {
        called = true;
        return std::unique_ptr<HttpTransfer>();
    });
    runToEnd(*f, ftp);
    EXPECT_FALSE(called);
    EXPECT_EQ(f->result().failure, TransferFailure::Network);
    EXPECT_NE(f->result().detail.find("redirect to an unsupported address"), std::string::npos);
}

// A socket bound to a free port on 127.0.0.1, listening when `backlog` >= 0; `addr` says where.
int loopbackSocket(int backlog, sockaddr_in& addr) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    addr = sockaddr_in{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    if (backlog >= 0) {
        EXPECT_EQ(::listen(fd, backlog), 0);
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return fd;
}

// A port on 127.0.0.1 where nothing listens.
int closedPort() {
    sockaddr_in addr;
    ::close(loopbackSocket(-1, addr));
    return ntohs(addr.sin_port);
}

TEST(PlainTransfer, ReportsWhyNoConnectionStood) {
    const int port = closedPort();
    struct Case {
        std::string url;
        TransferFailure failure;
        std::string detail;
    };
    const std::vector<Case> cases = {
        {"http://127.0.0.1:" + std::to_string(port) + "/", TransferFailure::Connect,
         "Failed to connect to 127.0.0.1 port " + std::to_string(port) + ": Connection refused"},
        {"http://nonexistent.invalid/", TransferFailure::Resolve,
         "Could not resolve host: nonexistent.invalid"},
    };
    for (const auto& c : cases) {
        Recorder events;
        auto t = start(requestFor(c.url), events);
        runToEnd(*t, events);
        EXPECT_EQ(t->result().failure, c.failure);
        EXPECT_EQ(t->result().detail, c.detail);
        EXPECT_EQ(t->status(), 0);
        EXPECT_FALSE(t->connectedAt().has_value());
    }
}

TEST(PlainTransfer, AResetMidBodyIsAFailure) {
    // The test server only closes politely; this one answers, then resets the connection.
    sockaddr_in addr;
    int listener = loopbackSocket(1, addr);
    std::thread peer([listener] {
        int fd = ::accept(listener, nullptr, nullptr);
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc";
        [[maybe_unused]] auto sent = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd);
    });
    Recorder events;
    auto t = start(requestFor("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/"), events);
    runToEnd(*t, events);
    peer.join();
    ::close(listener);
    EXPECT_EQ(t->result().failure, TransferFailure::Network);
    EXPECT_NE(t->result().detail.find("Connection reset by peer"), std::string::npos) << t->result().detail;
}

TEST(PlainTransfer, TimesOutWhenTheConnectionDoesNotStand) {
    // A listening socket whose backlog is full and never accepted: further connection attempts
    // hang in SYN_SENT.
    sockaddr_in addr;
    int listener = loopbackSocket(0, addr);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    TransferRequest r = requestFor("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
    r.connectTimeout = 300ms;
    Recorder events;
    auto t = start(r, events);
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::Timeout) << t->result().detail;
    EXPECT_EQ(t->result().detail.rfind("Connection timed out after ", 0), 0u) << t->result().detail;
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return s;
}

std::string chunked(const std::string& body, std::size_t chunk) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t pos = 0; pos < body.size(); pos += chunk) {
        std::size_t n = std::min(chunk, body.size() - pos);
        std::string size;
        for (std::size_t v = n; v > 0; v /= 16)
            size.insert(size.begin(), hex[v % 16]);
        out += size + "\r\n" + body.substr(pos, n) + "\r\n";
    }
    return out + "0\r\n\r\n";
}

TEST(PlainTransfer, PausesWithoutLosingAByte) {
    const std::string body = pattern(1024 * 1024);
    TestServer server;
    server.route("/length", answerAndHold(TestServer::httpHeader(200, "audio/mpeg", 1024 * 1024) + body));
    server.route("/chunked", answerAndHold("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                           chunked(body, 10000)));
    server.route("/close", answerAndClose("ICY 200 OK\r\n\r\n" + body));
    for (const char* path : {"/length", "/chunked", "/close"}) {
        SCOPED_TRACE(path);
        Recorder events;
        events.pauseEvery = 3;
        auto t = start(requestFor(server.url(path)), events);
        {
            Waker waker(*t);
            runToEnd(*t, events);
        }
        EXPECT_EQ(t->result().failure, TransferFailure::None) << t->result().detail;
        EXPECT_GT(events.pieces, 64); // at most 16 KiB a piece, a third of them paused on
        EXPECT_TRUE(events.body == body) << "body differs (" << events.body.size() << " bytes)";
    }
}

TEST(PlainTransfer, APausedTransferSleepsInsteadOfReading) {
    TestServer server;
    server.route("/more", answerAndHold(TestServer::httpHeader(200, "audio/mpeg", 200000) + pattern(200000)));
    Recorder events;
    events.pauseEvery = 1;
    auto t = start(requestFor(server.url("/more")), events);
    while (!events.paused && !t->perform())
        t->wait(100);
    ASSERT_TRUE(events.paused);
    // More of the body is waiting on the socket: a wait() that polled it would return at once.
    // A lower bound only: poll() never sleeps less than it was asked to.
    const auto before = std::chrono::steady_clock::now();
    t->wait(200);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 200ms);
    EXPECT_TRUE(events.body.empty());
    events.pauseEvery = 0;
    t->resume();
    runToEnd(*t, events);
    EXPECT_EQ(t->result().failure, TransferFailure::None);
    EXPECT_TRUE(events.body == pattern(200000));
}

TEST(PlainTransfer, BatchedReadsWaitForTheBatchAndLoseNothing) {
    // After the head and one byte, 2000 bytes in packets of 100, 10 ms apart, then 300 more: less
    // than a batch. "/held" then keeps the connection open, "/closed" closes it.
    const std::string body = "x" + pattern(2300);
    auto go = std::make_shared<std::atomic<bool>>(false);
    auto handler = [body, go](bool close) {
        return [body, go, close](Connection& c) {
            c.send("HTTP/1.1 200 OK\r\n\r\n" + body.substr(0, 1));
            while (!go->load() && c.sleep(5ms)) {
            }
            c.sendPaced(body.substr(1, 2000), 100, 10000);
            c.send(body.substr(2001));
            if (!close)
                c.sleep(120s);
        };
    };
    TestServer server;
    server.route("/held", handler(false));
    server.route("/closed", handler(true));
    for (const char* path : {"/held", "/closed"}) {
        SCOPED_TRACE(path);
        go->store(false);
        Recorder events;
        auto t = start(requestFor(server.url(path)), events);
        while (events.body.empty() && !t->perform())
            t->wait(50);
        ASSERT_EQ(events.body, "x");
        t->batchReads(1000);
        go->store(true);
        t->wait(60000); // without the batch, the first packet of 100 bytes would end it
        EXPECT_FALSE(t->perform());
        EXPECT_GE(events.body.size(), 1001u);
        // The rest is less than a batch: a wait that times out (or the close) still hands it over.
        const auto giveUp = std::chrono::steady_clock::now() + 30s;
        while (events.body.size() < body.size() && std::chrono::steady_clock::now() < giveUp) {
            if (t->perform())
                break;
            t->wait(100);
        }
        EXPECT_TRUE(events.body == body) << events.body.size() << " bytes";
        if (std::string(path) == "/closed") {
            runToEnd(*t, events);
            EXPECT_EQ(t->result().failure, TransferFailure::None) << t->result().detail;
        }
    }
}

TEST(PlainTransfer, WakeEndsAWaitEarly) {
    TestServer server;
    server.route("/quiet", answerAndHold("HTTP/1.1 200 OK\r\n\r\nx"));
    Recorder events;
    auto t = start(requestFor(server.url("/quiet")), events);
    while (events.body.empty() && !t->perform())
        t->wait(100);
    ASSERT_EQ(events.body, "x");
    std::atomic<bool> waiting{false};
    std::thread waker([&] {
        while (!waiting.load())
            std::this_thread::yield();
        std::this_thread::sleep_for(20ms);
        t->wake();
    });
    waiting = true;
    const auto before = std::chrono::steady_clock::now();
    t->wait(10 * 60 * 1000); // a lost wake() turns this into a ctest time-out
    waker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5min);
    EXPECT_FALSE(t->perform());
}

TEST(PlainTransfer, EndsAtOnceWhileTheNameIsLookedUp) {
    // Nothing is asserted on the time: the look-up threads outlive their transfers, and destroying
    // one must neither wait for them nor leave them anything of the transfer to touch.
    for (int i = 0; i < 20; ++i) {
        Recorder events;
        auto t = start(requestFor("http://nonexistent" + std::to_string(i) + ".invalid/"), events);
        EXPECT_FALSE(t->perform());
        t->wake();
        t.reset();
    }
    SUCCEED();
}

} // namespace
