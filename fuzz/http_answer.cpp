// A server's answer: header lines up to the first empty line, each handed over as libcurl does, then
// the body. No connection is made: the source is started on an address it refuses to open.
#include "source/HttpSource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

using namespace tembrik::audio::source;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto threads = std::make_shared<tembrik::audio::common::ThreadGroup>();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto source = HttpSource::start(HttpRequest{.url = "fuzz:"}, threads);
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
        input.remove_prefix(line.size());
        source->onHeader(line.data(), line.size());
        if (line == "\r\n" || line == "\n")
            break;
    }
    source->onBody(input.data(), input.size());
    const Response r = source->response();
    if (r.metaint >= (1u << 24) || r.headerText.size() > 2 * size + 2)
        std::abort();
    char buffer[64];
    source->rewind();
    if (source->read(buffer, sizeof buffer, Clock::now()) > static_cast<long>(sizeof buffer))
        std::abort();
    return 0;
}
