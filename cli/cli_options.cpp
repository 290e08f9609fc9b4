#include "cli/cli_options.h"

#ifndef QXV_BUILD_VERSION
#define QXV_BUILD_VERSION "unknown"
#endif

namespace cli {
namespace {

struct Flag {
    const char *name;
    bool encrypt; // allowed with encrypt
    bool decrypt; // allowed with decrypt
};

bool AllowedFor(const Flag &flag, Command command) {
    return command == Command::Encrypt ? flag.encrypt : flag.decrypt;
}

// Sets a yes/no option once; a contradicting second flag is an error.
bool SetOnce(std::optional<bool> &target, bool value) {
    if (target && *target != value) return false;
    target = value;
    return true;
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string> &arguments) {
    ParseResult result;
    Options &o = result.options;
    if (arguments.empty()) {
        result.error = "no command given";
        return result;
    }
    const std::string &command = arguments[0];
    if (command == "--help" || command == "-h" || command == "help") {
        o.command = Command::Help;
        if (arguments.size() > 1) result.error = "--help takes nothing more";
        return result;
    }
    if (command == "--version") {
        o.command = Command::Version;
        if (arguments.size() > 1) result.error = "--version takes nothing more";
        return result;
    }
    if (command == "encrypt") {
        o.command = Command::Encrypt;
    } else if (command == "decrypt") {
        o.command = Command::Decrypt;
    } else if (command == "info") {
        o.command = Command::Info;
    } else {
        result.error = "unknown command '" + command + "'";
        return result;
    }

    static const Flag flags[] = {
        {"--exe", true, false},     {"--no-exe", true, false},       {"--keep", false, true},
        {"--no-keep", false, true}, {"--password-file", true, true}, {"--yes", true, true},
        {"--no", true, true},       {"--stop-on-error", true, true}, {"--quiet", true, true},
    };
    std::optional<bool> answer;
    bool onlyPaths = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string &a = arguments[i];
        if (onlyPaths || a.size() < 2 || a[0] != '-') {
            o.paths.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPaths = true;
            continue;
        }
        if (a == "--json" && o.command == Command::Info) {
            o.json = true;
            continue;
        }
        const Flag *flag = nullptr;
        for (const Flag &f : flags)
            if (a == f.name) flag = &f;
        if (!flag || o.command == Command::Info || !AllowedFor(*flag, o.command)) {
            result.error = "option " + a + " is not known to '" + command + "'";
            return result;
        }
        bool ok = true;
        if (a == "--exe" || a == "--keep") {
            ok = SetOnce(o.option, true);
        } else if (a == "--no-exe" || a == "--no-keep") {
            ok = SetOnce(o.option, false);
        } else if (a == "--yes" || a == "--no") {
            ok = SetOnce(answer, a == "--yes");
        } else if (a == "--stop-on-error") {
            o.stopOnError = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--password-file") {
            if (o.passwordFile || i + 1 == arguments.size()) {
                result.error = "--password-file takes one FILE, once";
                return result;
            }
            o.passwordFile = arguments[++i];
        }
        if (!ok) {
            result.error = "contradicting options";
            return result;
        }
    }
    o.answerYes = answer.value_or(false);
    if (o.paths.empty()) {
        result.error = "no PATH given";
    } else if (o.command == Command::Info && o.paths.size() != 1) {
        result.error = "info takes one FILE";
    }
    return result;
}

std::string UsageText() {
    return "usage: quillomar encrypt [--exe|--no-exe] [--password-file FILE] [--yes|--no]\n"
           "                         [--stop-on-error] [--quiet] PATH...\n"
           "       quillomar decrypt [--keep|--no-keep] [--password-file FILE] [--yes|--no]\n"
           "                         [--stop-on-error] [--quiet] PATH...\n"
           "       quillomar info [--json] FILE\n"
           "       quillomar --help | --version\n";
}

std::string HelpText() {
    return "Quillomar encrypts files in place under a password (AES-128, extension \".qxv\"),\n"
           "decrypts them again and tells what a file is.\n\n" +
           UsageText() +
           "\nCommands:\n"
           "  encrypt   encrypt every FILE and every file below every FOLDER given; each file\n"
           "            becomes FILE.qxv (containers are skipped)\n"
           "  decrypt   decrypt every container given or found below a FOLDER; NAME.qxv gives\n"
           "            NAME, any other name gives NAME.dec (other files are skipped)\n"
           "  info      tell whether FILE is a container and with which algorithm, then its\n"
           "            original size and times, its own size, and whether an interrupted\n"
           "            encryption waits; exit 0 for a container, 1 otherwise\n\n"
           "Options:\n"
           "  --exe, --no-exe     encrypt: also make a self-decrypting program FILE.exe, which\n"
           "                      replaces FILE.qxv (default: the setting saved last time)\n"
           "  --keep, --no-keep   decrypt: keep the container after decrypting it (default:\n"
           "                      the setting saved last time)\n"
           "  --password-file FILE\n"
           "                      run without questions: the password is the first line of\n"
           "                      FILE (\"-\": standard input); messages go to standard error\n"
           "  --yes, --no         without questions: replace existing output files, or leave\n"
           "                      them and skip the file (default --no)\n"
           "  --stop-on-error     without questions: stop at the first failed file (default:\n"
           "                      go on with the next file)\n"
           "  --quiet             no progress bar\n"
           "  --json              info: the same as one JSON object\n\n"
           "Without --password-file the password and every question are asked in the\n"
           "terminal. Exit status: 0 when every file was done or skipped, 1 when a file\n"
           "failed or the run was cancelled, 2 for a wrong command line.\n\n"
           "Example:\n"
           "  echo 'long secret' | quillomar encrypt --password-file - notes.txt\n"
           "  echo 'long secret' | quillomar decrypt --password-file - notes.txt.qxv\n";
}

std::string VersionText() {
    return "Quillomar Version 2.1 (build " QXV_BUILD_VERSION ")\n";
}

} // namespace cli
