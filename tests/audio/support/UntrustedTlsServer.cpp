#include "support/UntrustedTlsServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace tembrik::audio::test {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
}

} // namespace

int FreeLocalPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = loopback(0);
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        socklen_t len = sizeof addr;
        if (::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
    }
    ::close(probe);
    return port;
}

UntrustedTlsServer::UntrustedTlsServer() {
    char dirTemplate[] = "/tmp/tembrik-tls-XXXXXX";
    if (!::mkdtemp(dirTemplate)) {
        error_ = "no temporary folder";
        return;
    }
    dir_ = dirTemplate;
    const std::string cert = dir_ + "/cert.pem", key = dir_ + "/key.pem";
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " + key + " -out " +
        cert + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        error_ = "openssl could not make a certificate";
        return;
    }
    port_ = FreeLocalPort();
    const std::string accept = "127.0.0.1:" + std::to_string(port_);
    const char* argv[] = {"openssl", "s_server",   "-quiet", "-www",      "-accept", accept.c_str(),
                          "-cert",   cert.c_str(), "-key",   key.c_str(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, "openssl", &quiet, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        error_ = "openssl s_server could not be started";
        return;
    }
    pid_ = pid;
}

UntrustedTlsServer::~UntrustedTlsServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool UntrustedTlsServer::waitListening(std::chrono::milliseconds timeout) const {
    if (pid_ <= 0)
        return false;
    const auto end = std::chrono::steady_clock::now() + timeout;
    const sockaddr_in addr = loopback(port_);
    do {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        ::close(s);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

} // namespace tembrik::audio::test
