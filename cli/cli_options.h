// The command line of `quillomar`: a command, its options and the paths that form the
// selection, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { Encrypt, Decrypt, Info, Help, Version, ListOptions };

struct Options {
    Command command = Command::Help;
    // Help: the command whose help was asked for (`quillomar COMMAND --help`), or Help for the
    // whole tool's.
    Command helpFor = Command::Help;
    // --exe/--no-exe (encrypt) or --keep/--no-keep (decrypt): the check box's state.
    std::optional<bool> option;
    // --password-file FILE ("-": standard input): a run without questions.
    std::optional<std::string> passwordFile;
    bool answerYes = false;   // --yes: replace existing files (default --no)
    bool stopOnError = false; // --stop-on-error: Cancel at the first failure
    bool quiet = false;       // --quiet: no progress bar
    bool progress = false;    // --progress: progress even when standard error is no terminal
    bool json = false;        // --json (info): machine-readable output
    int jobs = 0;             // --jobs N: files side by side (0: as many as suit the machine)
    std::vector<std::string> paths;
};

struct ParseResult {
    Options options;
    std::string error; // empty when the command line is well formed
};

// Never throws: a wrong command line comes back as `error`, with a suggestion where an option
// or command looks mistyped.
ParseResult ParseCommandLine(const std::vector<std::string> &arguments);

// The texts of --help (the tool's, or one command's), --version and of a wrong command line.
std::string HelpText(Command command = Command::Help);
std::string VersionText();
std::string UsageText();

// Every option the parser knows, one line each: "COMMAND -s --long [VALUE]" (COMMAND "-" for
// the options given without a command). For the completion and manual page checks.
std::string OptionListText();

} // namespace cli
