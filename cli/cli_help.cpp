// The texts of `quillomar --help`, `quillomar COMMAND --help`, --version and of a wrong command
// line. The option lines come from the option table the parser is built from.
#include "cli/cli_options.h"
#include "cli/option_table.h"

#ifndef QXV_BUILD_VERSION
#define QXV_BUILD_VERSION "unknown"
#endif

namespace cli {
namespace {

constexpr size_t kTextColumn = 24;

const char *const kExitStatus =
    "The first Ctrl-C stops after the current file, a second one stops the current\n"
    "file at once and leaves it as it was.\n\n"
    "Exit status: 0 when every file was done or skipped, 1 when a file failed or a\n"
    "question was cancelled, 2 for a wrong command line, 130 when Ctrl-C left work\n"
    "undone.\n";

// "  -x, --exe             text", the text's further lines under its first.
std::string OptionLine(const std::string &names, const std::string &help) {
    std::string line = "  " + names;
    if (line.size() + 2 > kTextColumn) {
        line += "\n" + std::string(kTextColumn, ' ');
    } else {
        line.resize(kTextColumn, ' ');
    }
    for (char c : help) {
        line += c;
        if (c == '\n') line += std::string(kTextColumn, ' ');
    }
    return line + "\n";
}

// "-x, --exe", "    --no-exe" or "-p, --password-file FILE".
std::string ShownNames(const OptionSpec &entry) {
    std::string names = entry.names;
    const size_t comma = names.find(',');
    names = comma == std::string::npos ? "    " + names : names.replace(comma, 1, ", ");
    if (entry.value) names += std::string(" ") + entry.value;
    return names;
}

// The options whose commands are exactly `mask`.
std::string OptionLines(unsigned mask, bool exact) {
    std::string text;
    for (const OptionSpec &entry : OptionTable()) {
        if (exact ? entry.commands == mask : (entry.commands & mask) != 0)
            text += OptionLine(ShownNames(entry), entry.help);
    }
    return text;
}

struct CommandHelp {
    Command command;
    const char *usage;
    const char *text;
};

const CommandHelp kCommandHelp[] = {
    {Command::Encrypt,
     "quillomar encrypt [-x|--no-exe] [-p FILE] [-y|-n] [-s] [-q|--progress] [-j N] PATH...",
     "Encrypts every FILE and every file below every FOLDER given; each file becomes\n"
     "FILE.qxv (containers are skipped). Without --password-file the password and\n"
     "every question are asked in the terminal.\n"},
    {Command::Decrypt,
     "quillomar decrypt [-k|--no-keep] [-p FILE] [-y|-n] [-s] [-q|--progress] [-j N] PATH...",
     "Decrypts every container given or found below a FOLDER; NAME.qxv gives NAME, any\n"
     "other name gives NAME.dec (other files are skipped). Without --password-file the\n"
     "password and every question are asked in the terminal.\n"},
    {Command::Info, "quillomar info [--json] FILE",
     "Tells whether FILE is a container and with which algorithm; exit 0 for a\n"
     "container, 1 otherwise.\n"},
};

} // namespace

std::string UsageText() {
    std::string text;
    for (const CommandHelp &help : kCommandHelp)
        text += (text.empty() ? "usage: " : "       ") + std::string(help.usage) + "\n";
    return text + "       quillomar COMMAND --help | --help | --version\n";
}

std::string HelpText(Command command) {
    for (const CommandHelp &help : kCommandHelp) {
        if (help.command != command) continue;
        return std::string("usage: ") + help.usage + "\n\n" + help.text + "\nOptions:\n" +
               OptionLines(MaskOf(command), false) +
               OptionLine("--", "every argument after it is a PATH, even one that\n"
                                "begins with \"-\"") +
               "\n" + kExitStatus;
    }
    return "Quillomar encrypts files in place under a password (AES-128, extension \".qxv\"),\n"
           "decrypts them again and tells what a file is.\n\n" +
           UsageText() +
           "\nCommands:\n"
           "  encrypt   encrypt every FILE and every file below every FOLDER given; each file\n"
           "            becomes FILE.qxv (containers are skipped)\n"
           "  decrypt   decrypt every container given or found below a FOLDER; NAME.qxv gives\n"
           "            NAME, any other name gives NAME.dec (other files are skipped)\n"
           "  info      tell whether FILE is a container and with which algorithm; exit 0 for\n"
           "            a container, 1 otherwise\n"
           "\nOptions of encrypt:\n" +
           OptionLines(kEncrypt, true) + "\nOptions of decrypt:\n" + OptionLines(kDecrypt, true) +
           "\nOptions of encrypt and decrypt:\n" + OptionLines(kBatch, true) +
           "\nOptions of info:\n" + OptionLines(kInfo, true) + "\nOther options:\n" +
           OptionLine("-h, --help", "show this help, or after a COMMAND its own") +
           OptionLine("-V, --version", "show the version") +
           OptionLine("--", "every argument after it is a PATH") +
           "\nWithout --password-file the password and every question are asked in the\n"
           "terminal. Short flags combine (-yq); values follow a space or \"=\"\n"
           "(--password-file=FILE, -pFILE).\n\n" +
           kExitStatus +
           "\nExample:\n"
           "  echo 'long secret' | quillomar encrypt -p - notes.txt\n"
           "  echo 'long secret' | quillomar decrypt -p - notes.txt.qxv\n";
}

std::string VersionText() {
    return "Quillomar Version 2.1 (build " QXV_BUILD_VERSION ")\n";
}

} // namespace cli
