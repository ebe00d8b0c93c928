#pragma once
// Programs started at login: the desktop's XDG autostart entries, one file NAME.desktop each in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart when the variable is unset or not absolute).
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tembrik::platform {

struct AutostartEntry {
    std::string name;           // shown by session settings
    std::filesystem::path exec; // absolute path of the program, started without arguments
    std::filesystem::path icon; // absolute path of the icon picture
};

// A refused write: "Failed to set data for 'NAME'".
class AutostartError : public std::runtime_error {
public:
    explicit AutostartError(const std::string& entryName);
};

std::filesystem::path autostartDir();

// The Exec value that starts exactly `program`: the path as one quoted argument, escaped as the
// desktop entry format asks (quoting rules, then "%%" for a percent sign, then the escapes of
// a string value), so spaces, quotes, dollars, backquotes, backslashes and percent signs survive.
std::string desktopExecValue(const std::filesystem::path& program);

// The whole entry file, UTF-8 with LF line ends.
std::string desktopEntryText(const AutostartEntry& entry);

// Writes NAME.desktop whole (a companion file renamed into place), replacing an earlier one and
// creating the autostart folder when missing. Raises AutostartError when anything is refused.
void writeAutostartEntry(const std::string& entryName, const AutostartEntry& entry);

// Deletes NAME.desktop; an entry that does not exist, or cannot be deleted, is no error.
void removeAutostartEntry(const std::string& entryName);

} // namespace tembrik::platform
