// Text from a file or a file name on its way to a terminal: bytes that a terminal would act on
// (escape sequences that retitle the window or clear the screen) are shown, not sent.
#pragma once

#include <string>
#include <string_view>

namespace ui {

// Control bytes, DEL, C1 controls (U+0080 to U+009F) and bytes that are not valid UTF-8 become
// visible escapes such as "\x1b"; a backslash stays as it is; valid UTF-8 is kept.
std::string EscapeForTerminal(std::string_view bytes);

} // namespace ui
