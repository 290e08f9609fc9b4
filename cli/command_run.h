// The commands as both programs run them (`quillomar` in a terminal, `quillomar-gui` with
// windows): the batch over the selection with the answers of the options, and Info on one
// file. What a person must be told goes to `say` (a line without the program's name).
#pragma once

#include "cli/cli_options.h"
#include "ui/backend.h"

#include <functional>
#include <string>

namespace cli {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130; // as a shell reports a program ended by Ctrl-C

using Reporter = std::function<void(const std::string &)>;

// Encrypt or Decrypt of options.paths: the dialogs through `interactive` unless the options
// make the run unattended. Returns the exit status.
int RunBatch(const Options &options, ui::Backend &interactive, const Reporter &say);

// Help, the option list or the version on standard output, when `options` asks for one of
// them; false for the commands that work on files.
bool PrintText(const Options &options);

// Info on one file: the answer's message box through `shower`. Returns the exit status.
int RunInfo(const std::string &path, ui::Backend &shower, const Reporter &say);

} // namespace cli
