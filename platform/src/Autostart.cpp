#include "tembrik/platform/Autostart.h"

#include "tembrik/platform/TextFile.h"

#include <cstdlib>
#include <system_error>

namespace tembrik::platform {

namespace {

// The escapes of a string value: backslash, line ends and tab; a leading blank would be eaten by
// readers, so it becomes \s.
std::string escapeString(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " ";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::filesystem::path entryPath(const std::string& entryName) {
    return autostartDir() / (entryName + ".desktop");
}

} // namespace

AutostartError::AutostartError(const std::string& entryName)
    : std::runtime_error("Failed to set data for '" + entryName + "'") {}

std::filesystem::path autostartDir() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::filesystem::path(config) / "autostart";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/") / ".config" / "autostart";
}

std::string desktopExecValue(const std::filesystem::path& program) {
    std::string quoted = "\"";
    for (const char c : program.string()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';
    return escapeString(quoted);
}

std::string desktopEntryText(const AutostartEntry& entry) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           escapeString(entry.name) +
           "\n"
           "Exec=" +
           desktopExecValue(entry.exec) +
           "\n"
           "Icon=" +
           escapeString(entry.icon.string()) + "\n";
}

void writeAutostartEntry(const std::string& entryName, const AutostartEntry& entry) {
    try {
        std::error_code ec;
        std::filesystem::create_directories(autostartDir(), ec);
        if (ec)
            throw AutostartError(entryName);
        StagedFile(entryPath(entryName), desktopEntryText(entry)).commit();
    } catch (const std::exception&) {
        throw AutostartError(entryName);
    }
}

void removeAutostartEntry(const std::string& entryName) {
    std::error_code ec;
    std::filesystem::remove(entryPath(entryName), ec);
}

} // namespace tembrik::platform
