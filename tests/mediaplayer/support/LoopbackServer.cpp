#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace tembrik::mediaplayer::test {

namespace {

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

} // namespace

LoopbackServer::LoopbackServer(QByteArray reply) : reply_(std::move(reply)) {
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
    // Server thread only: the listener's connections. Polls in short slices so that stopping_ ends it.
    std::vector<int> silent;
    while (!stopping_.load()) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (int fd : silent) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 50) <= 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                accepted_.fetch_add(1);
                if (reply_.isEmpty()) {
                    silent.push_back(client);
                } else {
                    char request[4096];
                    (void)::recv(client, request, sizeof(request), 0);
                    (void)::send(client, reply_.constData(), static_cast<std::size_t>(reply_.size()),
                                 MSG_NOSIGNAL);
                    ::close(client);
                }
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            char buffer[4096];
            if (::recv(fds[i].fd, buffer, sizeof(buffer), 0) <= 0) {
                closedByClient_.fetch_add(1);
                ::close(fds[i].fd);
                std::erase(silent, fds[i].fd);
            }
        }
    }
    for (int fd : silent) {
        ::close(fd);
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
