#pragma once
// The version check: the product site names its latest release in a small text file.
#include <string>
#include <string_view>

// This program's release; a site naming a greater one has an update.
constexpr int ReleaseNumber = 7;

// The version file's address on the product site (scheme, host and optional port).
std::string VersionFileAddress(const std::string& productSite);

// True when the whole answer reads as an integer greater than ReleaseNumber, by the program's one
// integer rule (spaces, sign, decimal or "$"/"0x" hexadecimal digits, and nothing after them, not
// even a line end). Anything else is no update.
bool UpdateAvailable(std::string_view versionFile);
