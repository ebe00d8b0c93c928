// The title cut out of a metadata text, and the text's conversion to UTF-8.
#include "Title.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tembrik::play;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view tag(reinterpret_cast<const char*>(data), size);
    if (const auto title = cutTitle(tag); title && title->size() > tag.size())
        std::abort();
    const std::string text = toUtf8(tag);
    if (!isValidUtf8(text) || (isValidUtf8(tag) && text != tag))
        std::abort();
    if (!isValidUtf8(cp1251ToUtf8(tag)))
        std::abort();
    return 0;
}
