#pragma once

#include <QByteArray>
#include <atomic>
#include <thread>

namespace tembrik::mediaplayer::test {

// A TCP server on 127.0.0.1 for the cases a real station cannot show. It answers every connection
// with the same bytes and then closes it: all at once, or trickled at a given rate to make a slow
// station. With no bytes to send it reads the request and never answers.
class LoopbackServer {
public:
    explicit LoopbackServer(QByteArray reply, int bytesPerSecond = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool isListening() const { return listener_ >= 0; }
    int port() const { return port_; }
    // Connections accepted so far, and how many of them the client has closed.
    int accepted() const { return accepted_.load(); }
    int closedByClient() const { return closedByClient_.load(); }

private:
    void serve();

    // Written before the server thread starts, then only read by it.
    QByteArray reply_;
    int bytesPerSecond_ = 0;
    int listener_ = -1;
    int port_ = 0;

    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> closedByClient_{0};
    std::thread thread_;
};

// A loopback port nothing listens on.
int closedLoopbackPort();

} // namespace tembrik::mediaplayer::test
