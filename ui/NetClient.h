#pragma once
// The main window's network client: the HTTP GET and the list download, each run off the GUI thread
// while this thread keeps handling its events (the window repaints, status reports of a playing
// stream arrive). The program's user agent is sent and the proxy of proxy.txt used, as for streams.
#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tembrik/net/Http.h"

// A transfer that failed: what() is the reason.
class NetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The wait ended because the program began to quit; the transfer was abandoned.
class NetCancelled : public NetError {
public:
    NetCancelled() : NetError("cancelled") {}
};

// True while a transfer started here is waited for: a second version check or import must not
// start from an event handled meanwhile.
bool NetworkBusy();

// Runs `work` on a thread of its own and handles this thread's events until it returns. When the
// program begins to quit meanwhile, the work is cancelled and NetCancelled raised; what escapes
// `work` is raised here, and NetError when another wait is already running. GUI thread.
void RunWhileResponsive(const std::function<void(const tembrik::net::CancelFlag&)>& work);

// Options with the agent and proxy streams use: the proxy only when proxy.txt names one (its first
// line neither empty nor starting with ".").
tembrik::net::HttpOptions ProgramHttpOptions(std::chrono::milliseconds connectTimeout,
                                             std::chrono::milliseconds readTimeout);

// The time-outs later requests use; the version check sets both to 2000 ms and they stay so.
struct HttpTimeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds read{30000};
};
HttpTimeouts& NetClientTimeouts();

// The body of the address, or NetError with the reason.
std::string HttpGet(const std::string& url, std::chrono::milliseconds connectTimeout,
                    std::chrono::milliseconds readTimeout);

// Saves urls[i] as folder/names[i], one after the other, with NetClientTimeouts(); entry i of the
// result is empty when saved, else the reason.
std::vector<std::string> DownloadList(const std::vector<std::string>& urls,
                                      const std::vector<std::string>& names,
                                      const std::filesystem::path& folder);
