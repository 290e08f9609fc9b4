// The stub's main flow: find the container in the input file, ask for the password and the
// output name, decrypt, open the result. Every failure ends the run with one message.
#pragma once

#include "container/trailer.h"
#include "platform/file_system.h"
#include "stub/stub_dialog.h"

#include <string>

enum class StubOutcome { Decrypted, Cancelled, Failed };

// Finds the container at the end of `file` (a self-decrypting executable, or a bare container):
// nullptr when found, with `trailer` filled in, otherwise the message that says what is wrong.
const char *stub_locate_container(platform::File &file, ContainerTrailer &trailer);

StubOutcome qxvsd_run(const std::string &input_path, StubDialog &dialog);

// The process exit code for an outcome: 0 decrypted, 1 failed, 2 cancelled.
int stub_exit_code(StubOutcome outcome);
