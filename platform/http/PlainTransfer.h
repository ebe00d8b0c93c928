#pragma once
// The http:// transfer of our own: a non-blocking socket, the name looked up on a thread of its
// own so that ending the transfer never waits for the resolver.
#include <functional>
#include <memory>
#include <string>

#include "tembrik/platform/HttpTransfer.h"

namespace tembrik::platform::detail {

// Whether `request` can go without libcurl: an http:// address without a user name, no proxy.
bool plainTransferCanDo(const TransferRequest& request);

// Continues a transfer where this one cannot go (a redirect to https://): returns the transfer that
// takes over (the plain one forwards every call to it from then on), or nullptr with `error`.
using HandOver =
    std::function<std::unique_ptr<HttpTransfer>(const TransferRequest& next, std::string& error)>;

std::unique_ptr<HttpTransfer> startPlainTransfer(const TransferRequest& request, TransferEvents& events,
                                                 HandOver handOver);

} // namespace tembrik::platform::detail
