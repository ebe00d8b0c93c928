#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace tembrik::mediaplayer::test {

namespace {

constexpr auto kTick = std::chrono::milliseconds(50);

int listenOnLoopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

struct Client {
    int fd;
    qsizetype sent = 0;
    bool requestRead = false;
};

} // namespace

LoopbackServer::LoopbackServer(QByteArray reply, int bytesPerSecond)
    : reply_(std::move(reply)), bytesPerSecond_(bytesPerSecond) {
    listener_ = listenOnLoopback(&port_);
    if (listener_ >= 0) {
        thread_ = std::thread([this] { serve(); });
    }
}

LoopbackServer::~LoopbackServer() {
    stopping_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

void LoopbackServer::serve() {
    // Server thread only: the connections and their progress. Wakes every tick so that stopping_
    // ends it and trickled replies move on.
    const qsizetype perTick =
        bytesPerSecond_ > 0 ? std::max<qsizetype>(1, bytesPerSecond_ * kTick.count() / 1000) : reply_.size();
    std::vector<Client> clients;
    auto nextTick = std::chrono::steady_clock::now();
    while (!stopping_.load()) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (const Client& client : clients) {
            fds.push_back({client.fd, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), static_cast<int>(kTick.count()));
        if ((fds[0].revents & POLLIN) != 0) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                accepted_.fetch_add(1);
                clients.push_back({fd});
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            auto client = std::find_if(clients.begin(), clients.end(),
                                       [&](const Client& c) { return c.fd == fds[i].fd; });
            char buffer[4096];
            if (::recv(client->fd, buffer, sizeof(buffer), 0) <= 0) {
                closedByClient_.fetch_add(1);
                ::close(client->fd);
                clients.erase(client);
            } else {
                client->requestRead = true;
            }
        }
        if (std::chrono::steady_clock::now() < nextTick) {
            continue;
        }
        nextTick += kTick;
        for (auto client = clients.begin(); client != clients.end();) {
            if (reply_.isEmpty() || !client->requestRead) {
                ++client;
                continue;
            }
            const qsizetype chunk = std::min(perTick, reply_.size() - client->sent);
            const ssize_t written = ::send(client->fd, reply_.constData() + client->sent,
                                           static_cast<std::size_t>(chunk), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (written > 0) {
                client->sent += written;
            }
            const bool failed = written < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
            if (failed || client->sent == reply_.size()) {
                ::close(client->fd);
                client = clients.erase(client);
            } else {
                ++client;
            }
        }
    }
    for (const Client& client : clients) {
        ::close(client.fd);
    }
}

int closedLoopbackPort() {
    int port = 0;
    const int fd = listenOnLoopback(&port);
    if (fd < 0) {
        return 1;
    }
    ::close(fd);
    return port;
}

} // namespace tembrik::mediaplayer::test
