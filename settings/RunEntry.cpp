#include "RunEntry.h"

#include "tembrik/platform/Autostart.h"

void SetRunEntry(bool enable, const std::string& name, const std::filesystem::path& executable) {
    if (!enable) {
        tembrik::platform::removeAutostartEntry(name);
        return;
    }
    tembrik::platform::writeAutostartEntry(
        name, {"Tembrik", executable, executable.parent_path() / "tembrik-48.png"});
}
