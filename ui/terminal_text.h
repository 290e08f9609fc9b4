// Text that came from a file or a file name, made safe to print on a terminal: no byte of it
// can move the cursor, change the title or clear the screen.
#pragma once

#include <string>
#include <string_view>

namespace ui {

// Valid UTF-8 is kept as it is; control bytes (0x00-0x1F), DEL, the C1 controls (U+0080 to
// U+009F) and every byte that is not part of valid UTF-8 become the visible text \xHH.
std::string EscapeForTerminal(std::string_view text);

// Length of the valid UTF-8 sequence of two or more bytes at the start of `text`; 0 when there
// is none (ASCII, overlong forms, surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text);

} // namespace ui
