#include "MpvLibrary.h"

#include <dlfcn.h>

namespace tembrik::mediaplayer::detail {

namespace {

struct Loaded {
    MpvLibrary library{};
    bool ok = false;
    std::string error;
};

// The run-time library whose major version matches the headers we were built with.
std::string sonameForHeaders() {
    return "libmpv.so." + std::to_string(MPV_CLIENT_API_VERSION >> 16);
}

template <class Function> bool resolve(void* handle, const char* name, Function& out, std::string& error) {
    out = reinterpret_cast<Function>(dlsym(handle, name));
    if (out == nullptr) {
        error = std::string("libmpv has no ") + name;
    }
    return out != nullptr;
}

Loaded load() {
    Loaded loaded;
    const std::string soname = sonameForHeaders();
    void* handle = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        loaded.error = why != nullptr ? why : "cannot load " + soname;
        return loaded;
    }
    MpvLibrary& l = loaded.library;
    std::string& e = loaded.error;
    loaded.ok = resolve(handle, "mpv_create", l.create, e) &&
                resolve(handle, "mpv_initialize", l.initialize, e) &&
                resolve(handle, "mpv_terminate_destroy", l.terminateDestroy, e) &&
                resolve(handle, "mpv_set_option", l.setOption, e) &&
                resolve(handle, "mpv_set_option_string", l.setOptionString, e) &&
                resolve(handle, "mpv_observe_property", l.observeProperty, e) &&
                resolve(handle, "mpv_unobserve_property", l.unobserveProperty, e) &&
                resolve(handle, "mpv_request_log_messages", l.requestLogMessages, e) &&
                resolve(handle, "mpv_set_wakeup_callback", l.setWakeupCallback, e) &&
                resolve(handle, "mpv_wait_event", l.waitEvent, e) &&
                resolve(handle, "mpv_command_async", l.commandAsync, e) &&
                resolve(handle, "mpv_set_property_async", l.setPropertyAsync, e);
    // Kept loaded for the life of the process: libmpv's threads may outlive a player (see Termination).
    return loaded;
}

const Loaded& loadedOnce() {
    static const Loaded loaded = load(); // thread-safe initialisation
    return loaded;
}

} // namespace

const MpvLibrary* mpv() {
    const Loaded& loaded = loadedOnce();
    return loaded.ok ? &loaded.library : nullptr;
}

std::string mpvLoadError() {
    return loadedOnce().error;
}

} // namespace tembrik::mediaplayer::detail
