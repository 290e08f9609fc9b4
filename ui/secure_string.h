// The dialogs hold passwords in the platform's wiping string.
#pragma once

#include "platform/secure_string.h"

namespace ui {

using platform::SecureString;
using platform::SecureWipe;
using platform::SecureZero;
using platform::View;
using platform::WipingAllocator;

} // namespace ui
