#include "tembrik/platform/Errors.h"

namespace tembrik::platform {

ConvertError::ConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

} // namespace tembrik::platform
