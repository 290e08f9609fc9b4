// What the two confirmation dialogs share.
#pragma once

#include <cstddef>

namespace ui {

// The fewest characters a password (or its confirmation) must have.
constexpr std::size_t MinPasswordLength = 8;

extern const char *const PasswordTooShortHint;

} // namespace ui
