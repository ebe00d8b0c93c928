#include "SaveRecording.h"

#include "DownloadRoutine.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace recording {

namespace fs = std::filesystem;

fs::path SaveTarget(const fs::path& chosen) {
    fs::path target = chosen;
    target += ".mp3";
    return target;
}

std::optional<std::string> SaveRecording(const fs::path& target) {
    // A name of our own beside the target, so no file of the user's is touched before the copy is
    // complete.
    std::string part = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(part.data());
    if (fd < 0)
        return std::generic_category().message(errno);
    ::close(fd);

    std::error_code ec;
    fs::copy_file(RecordTempPath(), part, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        // mkstemp made the file private; a saved recording gets the permissions of the file it
        // replaces, or those of an ordinary new file.
        std::error_code none;
        const fs::perms perms = fs::exists(target, none) ? fs::status(target, none).permissions()
                                                         : fs::perms::owner_read | fs::perms::owner_write |
                                                               fs::perms::group_read | fs::perms::others_read;
        fs::permissions(part, perms, ec);
    }
    if (!ec)
        fs::rename(part, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return ec.message();
    }
    fs::remove(RecordTempPath(), ec);
    return std::nullopt;
}

} // namespace recording
