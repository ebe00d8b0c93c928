// A small HTTP server of the tests' own, on 127.0.0.1 and a free port, for what icecast cannot do:
// playlists, "ICY 200 OK", silence, 404, garbage, odd metadata blocks, dropped connections.
// Each connection runs its route's handler on its own thread; handlers write raw bytes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tembrik::audio::test {

class Connection {
public:
    Connection(int fd, std::string method, std::string path, std::string query,
               std::map<std::string, std::string> headers, const std::atomic<bool>& stopping)
        : fd_(fd), method_(std::move(method)), path_(std::move(path)), query_(std::move(query)),
          headers_(std::move(headers)), stopping_(stopping) {}

    const std::string& path() const { return path_; }
    const std::string& query() const { return query_; }
    // Request header by lower-case name ("" when absent).
    std::string header(const std::string& lowerName) const;

    // False once the peer has gone or the server stops.
    bool send(std::string_view bytes);
    // Sends in pieces of `chunk` bytes, `bytesPerSecond` paced (0: at once).
    bool sendPaced(std::string_view bytes, std::size_t chunk, double bytesPerSecond);
    // Sleeps, returning early (false) when the server stops.
    bool sleep(std::chrono::milliseconds duration);
    bool stopping() const { return stopping_.load(); }

private:
    int fd_;
    std::string method_, path_, query_;
    std::map<std::string, std::string> headers_;
    const std::atomic<bool>& stopping_;
};

class TestServer {
public:
    using Handler = std::function<void(Connection&)>;

    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    void route(const std::string& path, Handler handler);
    std::string url(const std::string& path) const;
    int port() const { return port_; }
    int connections(const std::string& path) const; // how many requests reached `path`
    int accepted() const;                           // how many connections were made at all

    // Ready-made answers.
    static std::string httpHeader(int status, const std::string& contentType, long long contentLength = -1,
                                  const std::string& extra = "");

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_; // guarded by mutex_
    std::map<std::string, int> hits_;       // guarded by mutex_
    int accepted_ = 0;                      // guarded by mutex_
    std::vector<int> clientFds_;            // guarded by mutex_
    std::vector<std::thread> workers_;      // guarded by mutex_
    std::thread acceptThread_;
};

} // namespace tembrik::audio::test
