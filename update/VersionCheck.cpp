#include "update/VersionCheck.h"

#include "tembrik/platform/Integer.h"

std::string VersionFileAddress(const std::string& productSite) {
    return productSite + "/devovadadir.txt";
}

bool UpdateAvailable(std::string_view versionFile) {
    const auto release = tembrik::platform::tryParseInt(versionFile);
    return release && *release > ReleaseNumber;
}
