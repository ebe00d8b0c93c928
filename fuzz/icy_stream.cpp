// A station's stream with metadata blocks: the first two bytes choose the metadata interval and the
// third the size of the pieces the network delivers; every metadata text found is read for its title
// as tembrik-play reads it.
#include "Title.h"
#include "source/IcyDemuxer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::size_t metaint = data[0] | (std::size_t{data[1]} << 8);
    const std::size_t piece = std::size_t{data[2]} + 1;
    const char* stream = reinterpret_cast<const char*>(data + 3);
    const std::size_t length = size - 3;

    tembrik::audio::source::IcyDemuxer demuxer(metaint);
    std::size_t audio = 0;
    std::size_t blocks = 0;
    for (std::size_t at = 0; at < length; at += piece) {
        const std::size_t n = length - at < piece ? length - at : piece;
        demuxer.feed(
            stream + at, n, [&](const char*, std::size_t bytes) { audio += bytes; },
            [&](std::string_view text) {
                ++blocks;
                if (text.empty() || text.size() > 255 * 16 || text.find('\0') != std::string_view::npos)
                    std::abort();
                if (auto title = tembrik::play::cutTitle(text);
                    title && !tembrik::play::isValidUtf8(tembrik::play::toUtf8(*title)))
                    std::abort();
            });
    }
    // Audio plus metadata never exceeds what came in, and without an interval every byte is audio.
    if (audio > length || (metaint == 0 && (audio != length || blocks != 0)))
        std::abort();
    return 0;
}
