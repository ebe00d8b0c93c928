// libcurl's global set-up, shared by the audio library's stream transfers and net/'s downloads.
//
// Debian's libcurl is built with libssh2 (for SCP and SFTP), and curl_global_init() initialises
// libssh2, which initialises OpenSSL: some 3 MB of code and tables touched in every process, which
// is a fifth of what a playing stream needs in all. We use only HTTP and HTTPS (every transfer
// limits its protocols to those), so libssh2 is initialised first, without its crypto library;
// OpenSSL 3 would initialise itself on first use anyway, should SSH ever be used. The build links
// the GnuTLS flavour of libcurl (same API, and GnuTLS is loaded by libcurl's other dependencies
// either way) so that curl's own TLS does not bring OpenSSL back (see platform/CMakeLists.txt).
#include "tembrik/platform/Curl.h"

#include <curl/curl.h>
#include <libssh2.h>

#include <mutex>

namespace tembrik::platform {

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        libssh2_init(LIBSSH2_INIT_NO_CRYPTO);
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

} // namespace tembrik::platform
