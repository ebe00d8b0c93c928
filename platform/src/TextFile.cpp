#include "tembrik/platform/TextFile.h"

#include "tembrik/platform/Cp1251.h"
#include "tembrik/platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tembrik::platform {

namespace {

FileError errorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return FileError::notFound();
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return FileError::accessDenied();
    case ENOSPC:
    case EDQUOT:
        return FileError("Disk full");
    default:
        return FileError(std::strerror(err));
    }
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now so a failing close (a full disk on some file systems) is reported.
    void close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw errorFromErrno(errno);
    }

private:
    int fd_;
};

std::string readWhole(const std::filesystem::path& file) {
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw errorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode))
        throw FileError::accessDenied();
    std::string data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw errorFromErrno(errno);
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw errorFromErrno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes, int flags) {
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644));
    if (fd.get() < 0)
        throw errorFromErrno(errno);
    writeAll(fd.get(), bytes);
    fd.close();
}

} // namespace

TextLines TextLines::read(const std::filesystem::path& file) {
    const std::string data = readWhole(file);
    std::vector<std::string> lines;
    std::size_t start = 0;
    bool ended = true;
    while (start < data.size()) {
        const std::size_t end = data.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(cp1251ToUtf8(std::string_view(data).substr(start)));
            ended = false;
            break;
        }
        lines.push_back(cp1251ToUtf8(std::string_view(data).substr(start, end - start)));
        start = end + 1;
        if (data[end] == '\r' && start < data.size() && data[start] == '\n')
            ++start;
    }
    return TextLines(std::move(lines), ended);
}

const std::string& TextLines::line(std::size_t index) const {
    static const std::string empty;
    return index < lines_.size() ? lines_[index] : empty;
}

void writeTextFile(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    writeBytes(file, encodeTextLines(lines), O_TRUNC);
}

void replaceTextFile(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    StagedFile(file, encodeTextLines(lines)).commit();
}

std::string encodeTextLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) {
        text += l;
        text += "\r\n";
    }
    return utf8ToCp1251(text);
}

StagedFile::StagedFile(std::filesystem::path file, const std::string& bytes)
    : file_(std::move(file)), temp_(file_) {
    temp_ += ".new";
    try {
        Fd fd(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0)
            throw errorFromErrno(errno);
        // The new file keeps the old one's permissions, as rewriting it in place would.
        struct stat old {};
        if (::stat(file_.c_str(), &old) == 0)
            ::fchmod(fd.get(), old.st_mode & 07777);
        writeAll(fd.get(), bytes);
        if (::fsync(fd.get()) != 0)
            throw errorFromErrno(errno);
        fd.close();
    } catch (...) {
        ::unlink(temp_.c_str());
        throw;
    }
}

StagedFile::~StagedFile() {
    if (pending_)
        ::unlink(temp_.c_str());
}

void StagedFile::commit() {
    if (::rename(temp_.c_str(), file_.c_str()) != 0)
        throw errorFromErrno(errno);
    pending_ = false;
}

void appendTextLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string bytes;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && st.st_size > 0) {
        Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        char last = '\n';
        if (fd.get() >= 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n' && last != '\r')
            bytes = "\r\n";
    }
    bytes += encodeTextLines(lines);
    writeBytes(file, bytes, O_APPEND);
}

} // namespace tembrik::platform
