// A playlist entry resolved against the playlist's address: base and entry separated by a newline.
#include "source/Url.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tembrik::audio::source;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\n');
    const std::string_view base =
        end == std::string_view::npos ? "http://h.example/dir/l.pls" : input.substr(0, end);
    const std::string_view ref = end == std::string_view::npos ? input : input.substr(end + 1);
    (void)isHttpUrl(input);
    if (const auto url = resolveUrl(base, ref); url && !isHttpUrl(*url))
        std::abort();
    return 0;
}
