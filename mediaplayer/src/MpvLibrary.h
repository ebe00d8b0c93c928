// libmpv, loaded the first time a player is made rather than at program start: it brings some
// two hundred shared libraries (filters, video output, speech synthesis voices...) that cost about
// 20 MB and part of the start-up time in a program where most stations never need it.
#pragma once

#include <mpv/client.h>

#include <string>

namespace tembrik::mediaplayer::detail {

// The libmpv calls this component makes; the declarations are libmpv's own.
struct MpvLibrary {
    decltype(&::mpv_create) create;
    decltype(&::mpv_initialize) initialize;
    decltype(&::mpv_terminate_destroy) terminateDestroy;
    decltype(&::mpv_set_option) setOption;
    decltype(&::mpv_set_option_string) setOptionString;
    decltype(&::mpv_observe_property) observeProperty;
    decltype(&::mpv_unobserve_property) unobserveProperty;
    decltype(&::mpv_request_log_messages) requestLogMessages;
    decltype(&::mpv_set_wakeup_callback) setWakeupCallback;
    decltype(&::mpv_wait_event) waitEvent;
    decltype(&::mpv_command_async) commandAsync;
    decltype(&::mpv_set_property_async) setPropertyAsync;
};

// The loaded library, or nullptr when it cannot be loaded (the reason is in mpvLoadError()).
// Loaded once per process, on whichever thread asks first; never unloaded.
const MpvLibrary* mpv();
std::string mpvLoadError();

} // namespace tembrik::mediaplayer::detail
