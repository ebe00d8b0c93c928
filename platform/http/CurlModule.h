#pragma once
// The libcurl transfer lives in a module of its own (tembrik-curl.so beside the program), loaded
// with dlopen() the first time a transfer needs it (https://, a proxy, …): a process that only
// plays http:// stations maps none of libcurl's libraries.
#include <string>

#include "tembrik/platform/HttpTransfer.h"

#define TEMBRIK_CURL_EXPORT __attribute__((visibility("default")))

namespace tembrik::platform::detail {

// Raised whenever the types the module and the program share (HttpTransfer.h) change: a module
// from another build is refused instead of called.
constexpr int kCurlModuleAbi = 1;

// The module's entry: starts a transfer on libcurl; nullptr with the reason in `error`. The caller
// owns the result.
using CurlStart = HttpTransfer* (*)(const TransferRequest& request, TransferEvents& events,
                                    std::string& error);

// The module's entry, loading the module on the first call (any thread). nullptr when it cannot be
// loaded, with the reason in `error`; a failure is not remembered. The environment variable
// TEMBRIK_CURL_MODULE names another file.
CurlStart curlModule(std::string& error);

} // namespace tembrik::platform::detail
