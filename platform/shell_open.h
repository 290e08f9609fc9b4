// Opens a file or web address with the program the desktop associates with it ("open").
#pragma once

#include <string>

namespace platform {

// Asks the desktop to open `target` (ShellExecute "open"; xdg-open, which hands it to the
// program and ends, is waited for); false when no program could be started for it.
// Never goes through a command shell: the target is passed as one argument, and a name that
// starts with "-" is never taken for an option.
bool shell_open(const std::string &target);

} // namespace platform
