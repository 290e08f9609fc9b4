// Opens a file or web address with the program the desktop associates with it ("open").
#pragma once

#include <string>

namespace platform {

// Starts the associated program and returns at once; false when it could not be started.
// Never goes through a command shell: the target is passed as one argument.
bool shell_open(const std::string &target);

} // namespace platform
