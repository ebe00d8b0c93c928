#pragma once
// Errors raised by file and number operations. Their texts are the ones users of the program have
// always seen in its error boxes, so handlers show what() unchanged.
#include <stdexcept>
#include <string>

namespace tembrik::platform {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    static FileError notFound() { return FileError("File not found"); }
    static FileError accessDenied() { return FileError("File access denied"); }
};

class ConvertError : public std::runtime_error {
public:
    // text is shown between single quotes, as it was read (UTF-8).
    explicit ConvertError(const std::string& text);
};

} // namespace tembrik::platform
