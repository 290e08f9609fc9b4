// Every option of the `quillomar` commands, once: the parser is built from this table, the help
// texts are drawn from it, and `--list-options` prints what the parser made of it.
#pragma once

#include <span>

namespace cli {

enum class Command;

enum class Arg {
    Exe,
    NoExe,
    Keep,
    NoKeep,
    PasswordFile,
    Yes,
    No,
    StopOnError,
    Quiet,
    Progress,
    Jobs,
    Json,
    Help
};

// Which commands take an option.
enum CommandMask : unsigned {
    kEncrypt = 1,
    kDecrypt = 2,
    kInfo = 4,
    kBatch = kEncrypt | kDecrypt,
    kAll = kEncrypt | kDecrypt | kInfo
};

struct OptionSpec {
    Arg arg;
    const char *names; // "-x,--exe": a short form (optional) and the long one
    const char *value; // the value's name, or nullptr for a flag
    unsigned commands; // CommandMask bits
    const char *help;  // lines separated by '\n'
};

std::span<const OptionSpec> OptionTable();

// The mask bit of encrypt, decrypt or info; 0 for the others.
unsigned MaskOf(Command command);

} // namespace cli
