#include "tembrik/platform/Cp1251.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace tembrik::platform {

namespace {

// One conversion descriptor per call: iconv_t keeps shift state and is not thread-safe, and opening
// one costs far less than the file I/O around it.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert between Windows-1251 and UTF-8");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; onInvalid(in, left) appends a replacement to out and returns how
    // many input bytes it consumed.
    template <typename OnInvalid> std::string run(std::string_view input, OnInvalid onInvalid) {
        std::string out;
        out.reserve(input.size() * 2);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[4096];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                const std::size_t used = onInvalid(out, in, inLeft);
                in += used;
                inLeft -= used;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

std::size_t utf8SequenceLength(const char* p, std::size_t left) {
    const auto b = static_cast<unsigned char>(*p);
    std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (n > left)
        n = left;
    // Stop at the first byte that is not a continuation byte so a broken sequence never swallows
    // the character after it.
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return i;
    return n;
}

} // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
    Converter c("UTF-8", "WINDOWS-1251");
    return c.run(bytes, [](std::string& out, const char*, std::size_t) {
        out += "\xEF\xBF\xBD";
        return std::size_t{1};
    });
}

std::string utf8ToCp1251(std::string_view utf8) {
    Converter c("WINDOWS-1251", "UTF-8");
    return c.run(utf8, [](std::string& out, const char* in, std::size_t left) {
        out += '?';
        return utf8SequenceLength(in, left);
    });
}

} // namespace tembrik::platform
