#include "support/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tembrik::audio::test {

std::string Connection::header(const std::string& lowerName) const {
    auto it = headers_.find(lowerName);
    return it == headers_.end() ? std::string() : it->second;
}

bool Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (stopping_.load())
            return false;
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool Connection::sendPaced(std::string_view bytes, std::size_t chunk, double bytesPerSecond) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t n = std::min(chunk, bytes.size() - sent);
        if (!send(bytes.substr(sent, n)))
            return false;
        sent += n;
        if (bytesPerSecond > 0) {
            auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(static_cast<double>(sent) / bytesPerSecond));
            auto now = std::chrono::steady_clock::now();
            if (due > now && !sleep(std::chrono::duration_cast<std::chrono::milliseconds>(due - now)))
                return false;
        }
    }
    return true;
}

bool Connection::sleep(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (stopping_.load())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(10), end - std::chrono::steady_clock::now()));
    }
    return !stopping_.load();
}

TestServer::TestServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listenFd_, 64);
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
    stopping_.store(true);
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        for (int fd : clientFds_)
            ::shutdown(fd, SHUT_RDWR);
        workers.swap(workers_);
    }
    for (auto& t : workers)
        t.join();
    ::close(listenFd_);
}

void TestServer::route(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(handler);
}

std::string TestServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int TestServer::connections(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

int TestServer::accepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::string TestServer::httpHeader(int status, const std::string& contentType, long long contentLength,
                                   const std::string& extra) {
    std::string reason = status == 200   ? "OK"
                         : status == 404 ? "Not Found"
                         : status == 302 ? "Found"
                                         : "Status";
    std::string h = "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n";
    if (!contentType.empty())
        h += "Content-Type: " + contentType + "\r\n";
    if (contentLength >= 0)
        h += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    h += extra;
    h += "\r\n";
    return h;
}

void TestServer::acceptLoop() {
    while (!stopping_.load()) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (stopping_.load())
                return;
            continue;
        }
        std::lock_guard lock(mutex_);
        if (stopping_.load()) {
            ::close(fd);
            return;
        }
        ++accepted_;
        clientFds_.push_back(fd);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void TestServer::serve(int fd) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            if (stopping_.load())
                break;
            continue;
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        request.append(buf, static_cast<std::size_t>(n));
    }
    std::string method, target;
    std::map<std::string, std::string> headers;
    {
        auto lineEnd = request.find("\r\n");
        std::string first = request.substr(0, lineEnd);
        auto sp1 = first.find(' ');
        auto sp2 = first.find(' ', sp1 + 1);
        if (sp1 != std::string::npos) {
            method = first.substr(0, sp1);
            target = first.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
        }
        std::size_t pos = lineEnd == std::string::npos ? request.size() : lineEnd + 2;
        while (pos < request.size()) {
            auto end = request.find("\r\n", pos);
            if (end == std::string::npos || end == pos)
                break;
            std::string line = request.substr(pos, end - pos);
            auto colon = line.find(':');
            if (colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                });
                std::string value = line.substr(colon + 1);
                while (!value.empty() && value.front() == ' ')
                    value.erase(0, 1);
                headers[name] = value;
            }
            pos = end + 2;
        }
    }
    auto q = target.find('?');
    std::string path = target.substr(0, q);
    std::string query = q == std::string::npos ? "" : target.substr(q + 1);
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        ++hits_[path];
        auto it = routes_.find(path);
        if (it != routes_.end())
            handler = it->second;
    }
    Connection c(fd, method, path, query, headers, stopping_);
    if (handler) {
        handler(c);
    } else {
        std::string body = "not here";
        c.send(httpHeader(404, "text/plain", static_cast<long long>(body.size())) + body);
    }
    ::shutdown(fd, SHUT_WR);
    // Let the client read what was sent before the socket goes.
    for (int i = 0; i < 50 && !stopping_.load(); ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
            break;
    }
    std::lock_guard lock(mutex_);
    ::close(fd);
    clientFds_.erase(std::remove(clientFds_.begin(), clientFds_.end(), fd), clientFds_.end());
}

} // namespace tembrik::audio::test
