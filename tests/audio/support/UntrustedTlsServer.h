// openssl's own TLS web server on 127.0.0.1 and a free port, with a fresh self-signed certificate
// that nobody vouches for: what a client that checks certificates must refuse. Ended (and its
// certificate removed) when the object goes.
#pragma once

#include <chrono>
#include <string>

#include <sys/types.h>

namespace tembrik::audio::test {

// A port nothing listens on at the moment of the call.
int FreeLocalPort();

class UntrustedTlsServer {
public:
    UntrustedTlsServer();
    ~UntrustedTlsServer();
    UntrustedTlsServer(const UntrustedTlsServer&) = delete;
    UntrustedTlsServer& operator=(const UntrustedTlsServer&) = delete;

    // Whether the server was started; the reason when it was not.
    bool started() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    // Waits until it accepts connections.
    bool waitListening(std::chrono::milliseconds timeout) const;
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    std::string dir_;
    std::string error_;
    int port_ = 0;
    pid_t pid_ = 0;
};

} // namespace tembrik::audio::test
