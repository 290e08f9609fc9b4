#include "ui/confirm_common.h"

namespace ui {

const char *const PasswordTooShortHint = "The password must have at least 8 characters.";

} // namespace ui
