// The command line of `quillomar`: a command, its options and the paths that form the
// selection, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { Encrypt, Decrypt, Info, Help, Version };

struct Options {
    Command command = Command::Help;
    // --exe/--no-exe (encrypt) or --keep/--no-keep (decrypt): the check box's state.
    std::optional<bool> option;
    // --password-file FILE ("-": standard input): a run without questions.
    std::optional<std::string> passwordFile;
    bool answerYes = false;   // --yes: replace existing files (default --no)
    bool stopOnError = false; // --stop-on-error: Cancel at the first failure
    bool quiet = false;       // --quiet: no progress bar
    bool json = false;        // --json (info): the report as one JSON object
    std::vector<std::string> paths;
};

struct ParseResult {
    Options options;
    std::string error; // empty when the command line is well formed
};

ParseResult ParseCommandLine(const std::vector<std::string> &arguments);

// The texts of --help, --version and of a wrong command line.
std::string HelpText();
std::string VersionText();
std::string UsageText();

} // namespace cli
