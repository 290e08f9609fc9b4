#include "platform/settings.h"

namespace platform {

std::string settings_type_error(const char *name) {
    return std::string("Invalid data type for '") + name + "'";
}

} // namespace platform
