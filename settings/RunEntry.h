#pragma once
// Start at login. Each of the two settings writers keeps an entry of its own, under its own fixed
// name: the close-time writer CloseRunValueName, "Apply" in the Options window ApplyRunValueName.
#include <filesystem>
#include <string>

inline constexpr const char* CloseRunValueName = "tembrik";
inline constexpr const char* ApplyRunValueName = "tembrik-options";

// Enabled: the entry `name` starts the executable at login, replacing what it held. Disabled: the
// entry is deleted, silently when there is none. A refused write raises
// "Failed to set data for 'NAME'".
void SetRunEntry(bool enable, const std::string& name, const std::filesystem::path& executable);
