#pragma once
// Saving the latest recording under the name chosen in the save dialog.
#include <filesystem>
#include <optional>
#include <string>

namespace recording {

// The file a chosen name is saved as: the name with ".mp3" appended, always ("song.mp3" gives
// "song.mp3.mp3"); whatever the stream's format, the bytes are kept as they are.
std::filesystem::path SaveTarget(const std::filesystem::path& chosen);

// Copies the temporary file to target, replacing a file of that name without asking, then deletes
// the temporary file. The copy is made beside the target and renamed over it, so a copy that fails
// (folder not writable, disk full) leaves an existing target as it was; the temporary file then
// stays too. Returns the reason of a failure.
std::optional<std::string> SaveRecording(const std::filesystem::path& target);

} // namespace recording
