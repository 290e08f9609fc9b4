// The command line, parsed with CLI11: the first argument picks the command (or --help,
// --version), and the command's own parser, built from the option table, reads the rest.
// CLI11 reports a wrong command line by exception; none leaves this file.
#include "cli/cli_options.h"

#include "cli/option_table.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <memory>

namespace cli {
namespace {

struct CommandName {
    const char *name;
    Command command;
};

constexpr CommandName kCommands[] = {
    {"encrypt", Command::Encrypt}, {"decrypt", Command::Decrypt}, {"info", Command::Info}};

// The options given without a command, each with its short form.
// More files side by side than this only adds threads that wait.
constexpr int kMostJobs = 64;

constexpr const char *kHelpNames[] = {"-h", "--help"};
constexpr const char *kVersionNames[] = {"-V", "--version"};
constexpr const char *kListOptions = "--list-options"; // hidden: for the completion checks

bool IsOneOf(const std::string &word, std::initializer_list<const char *> names) {
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return word == n; });
}

// One command's parser. CLI11 apps cannot move, hence the pointer.
struct CommandParser {
    CLI::App app;
    const CommandName *command = nullptr;
    std::map<Arg, CLI::Option *> options;
    std::map<Arg, std::string> values;
    std::vector<std::string> paths;

    size_t Count(Arg arg) const {
        auto found = options.find(arg);
        return found == options.end() ? 0 : found->second->count();
    }
};

std::unique_ptr<CommandParser> MakeParser(const CommandName &command) {
    auto parser = std::make_unique<CommandParser>();
    parser->command = &command;
    CLI::App &app = parser->app;
    app.name(std::string("quillomar ") + command.name);
    app.set_help_flag(); // --help comes from the option table, with our own text
    app.allow_extras();  // unknown options come back for a message with a suggestion
    for (const OptionSpec &entry : OptionTable()) {
        if (!(entry.commands & MaskOf(command.command))) continue;
        CLI::Option *option =
            entry.value
                ? app.add_option(entry.names, parser->values[entry.arg])->type_name(entry.value)
                : app.add_flag(entry.names)->disable_flag_override();
        parser->options[entry.arg] = option;
    }
    app.add_option("PATH", parser->paths);
    return parser;
}

// The distance between two words, a swap of neighbours counting as one edit.
size_t EditDistance(const std::string &a, const std::string &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// "; did you mean X?" for the nearest candidate within two edits (or the one that `word`
// begins), or nothing.
std::string Suggestion(const std::string &word, const std::vector<std::string> &candidates) {
    const std::string *best = nullptr;
    size_t bestDistance = 3;
    size_t prefixed = 0;
    const std::string *prefixOf = nullptr;
    for (const std::string &candidate : candidates) {
        const size_t distance = EditDistance(word, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &candidate;
        }
        if (word.size() >= 4 && candidate.starts_with(word)) {
            ++prefixed;
            prefixOf = &candidate;
        }
    }
    if (!best && prefixed == 1) best = prefixOf;
    return best ? "; did you mean " + *best + "?" : "";
}

// The long and short names of every option of a command, as typed.
std::vector<std::string> TypedNames(const CLI::App &app) {
    std::vector<std::string> names;
    for (const CLI::Option *option : app.get_options()) {
        for (const std::string &s : option->get_snames())
            names.push_back("-" + s);
        for (const std::string &l : option->get_lnames())
            names.push_back("--" + l);
    }
    return names;
}

std::string UnknownOption(const CommandParser &parser, const std::string &typed) {
    const std::string name = typed.substr(0, typed.find('='));
    const std::string prefix = "option " + name + " is not known to '" + parser.command->name + "'";
    for (const CommandName &other : kCommands) {
        if (&other == parser.command) continue;
        const auto otherNames = TypedNames(MakeParser(other)->app);
        if (std::find(otherNames.begin(), otherNames.end(), name) != otherNames.end())
            return prefix + " (it is an option of '" + other.name + "')";
    }
    // A single letter is too short to guess from.
    return prefix + (name.starts_with("--") ? Suggestion(name, TypedNames(parser.app)) : "");
}

// CLI11's complaint in our words: which option, and what is wrong with it.
std::string Complaint(const CommandParser &parser, const CLI::Error &error,
                      const std::vector<std::string> &arguments) {
    for (const std::string &a : arguments) {
        if (a == "--") break;
        if (!a.starts_with("--") || a.find('=') == std::string::npos) continue;
        const std::string name = a.substr(0, a.find('='));
        for (const OptionSpec &entry : OptionTable()) {
            const std::string names = entry.names;
            if (!entry.value && (names == name || names.ends_with("," + name)) &&
                parser.options.count(entry.arg))
                return "option " + name + " takes no value";
        }
    }
    const std::string what = error.what();
    for (const OptionSpec &entry : OptionTable()) {
        if (!entry.value || !parser.options.count(entry.arg)) continue;
        const std::string names = entry.names;
        const std::string longName = names.substr(names.find("--"));
        if (what.find(longName) != std::string::npos)
            return longName + " takes one " + entry.value + ", once";
    }
    return what;
}

// --jobs N: 1 to kMostJobs, else 0.
int JobsValue(const std::string &text) {
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || n > kMostJobs) return 0;
        n = n * 10 + (c - '0');
    }
    return n <= kMostJobs ? n : 0;
}

// The rules CLI11 does not know: flags that contradict each other, the paths each command takes.
std::string Check(const CommandParser &parser) {
    static const std::pair<Arg, Arg> contradicting[] = {{Arg::Exe, Arg::NoExe},
                                                        {Arg::Keep, Arg::NoKeep},
                                                        {Arg::Yes, Arg::No},
                                                        {Arg::Quiet, Arg::Progress}};
    for (const auto &[a, b] : contradicting) {
        if (parser.Count(a) && parser.Count(b)) {
            return "contradicting options " + parser.options.at(a)->get_name() + " and " +
                   parser.options.at(b)->get_name();
        }
    }
    if (parser.Count(Arg::Jobs) && JobsValue(parser.values.at(Arg::Jobs)) == 0)
        return "--jobs takes a number from 1 to " + std::to_string(kMostJobs);
    if (parser.paths.empty()) return "no PATH given";
    if (parser.command->command == Command::Info && parser.paths.size() != 1)
        return "info takes one FILE";
    return "";
}

void Fill(const CommandParser &parser, Options &o) {
    if (parser.Count(Arg::Exe) || parser.Count(Arg::Keep)) o.option = true;
    if (parser.Count(Arg::NoExe) || parser.Count(Arg::NoKeep)) o.option = false;
    if (parser.Count(Arg::PasswordFile)) o.passwordFile = parser.values.at(Arg::PasswordFile);
    o.answerYes = parser.Count(Arg::Yes) > 0;
    o.stopOnError = parser.Count(Arg::StopOnError) > 0;
    o.quiet = parser.Count(Arg::Quiet) > 0;
    o.progress = parser.Count(Arg::Progress) > 0;
    o.json = parser.Count(Arg::Json) > 0;
    if (parser.Count(Arg::Jobs)) o.jobs = JobsValue(parser.values.at(Arg::Jobs));
    o.paths = parser.paths;
}

// --help anywhere before "--" asks for the command's help, whatever else is there.
bool AsksForHelp(const std::vector<std::string> &arguments) {
    for (size_t i = 1; i < arguments.size() && arguments[i] != "--"; ++i)
        if (IsOneOf(arguments[i], {"-h", "--help"})) return true;
    return false;
}

ParseResult ParseCommand(const CommandName &command, const std::vector<std::string> &arguments) {
    ParseResult result;
    result.options.command = command.command;
    if (AsksForHelp(arguments)) {
        result.options.command = Command::Help;
        result.options.helpFor = command.command;
        return result;
    }
    auto parser = MakeParser(command);
    std::vector<std::string> rest(arguments.rbegin(), arguments.rend() - 1); // CLI11's order
    try {
        parser->app.parse(rest);
    } catch (const CLI::Error &error) {
        result.error = Complaint(*parser, error, arguments);
        return result;
    } catch (const std::exception &error) {
        result.error = error.what();
        return result;
    }
    // CLI11 leaves the "--" that ends the options among the unknown ones.
    const std::vector<std::string> unknown = parser->app.remaining();
    const auto first = std::find_if(unknown.begin(), unknown.end(),
                                    [](const std::string &a) { return a != "--"; });
    result.error = first != unknown.end() ? UnknownOption(*parser, *first) : Check(*parser);
    Fill(*parser, result.options);
    return result;
}

const CommandName *FindCommand(const std::string &word) {
    for (const CommandName &c : kCommands)
        if (word == c.name) return &c;
    return nullptr;
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string> &arguments) {
    ParseResult result;
    Options &o = result.options;
    if (arguments.empty()) {
        result.error = "no command given";
        return result;
    }
    const std::string &first = arguments[0];
    if (IsOneOf(first, {kHelpNames[0], kHelpNames[1], "help"})) {
        o.command = Command::Help;
        // `quillomar help COMMAND` is `quillomar COMMAND --help`.
        if (first == "help" && arguments.size() == 2 && FindCommand(arguments[1])) {
            o.helpFor = FindCommand(arguments[1])->command;
        } else if (arguments.size() > 1) {
            result.error = first + " takes nothing more";
        }
        return result;
    }
    if (IsOneOf(first, {kVersionNames[0], kVersionNames[1]})) {
        o.command = Command::Version;
        if (arguments.size() > 1) result.error = first + " takes nothing more";
        return result;
    }
    if (first == kListOptions) {
        o.command = Command::ListOptions;
        if (arguments.size() > 1) result.error = first + " takes nothing more";
        return result;
    }
    if (const CommandName *command = FindCommand(first)) return ParseCommand(*command, arguments);

    std::vector<std::string> known = {kHelpNames[1], kVersionNames[1]};
    for (const CommandName &c : kCommands)
        known.push_back(c.name);
    result.error = (first.starts_with("-") ? "unknown option '" : "unknown command '") + first +
                   "'" + Suggestion(first, known);
    return result;
}

std::string OptionListText() {
    std::string text = std::string("- ") + kHelpNames[0] + " " + kHelpNames[1] + "\n" + "- " +
                       kVersionNames[0] + " " + kVersionNames[1] + "\n";
    for (const CommandName &command : kCommands) {
        auto parser = MakeParser(command);
        for (const CLI::Option *option : parser->app.get_options()) {
            if (option->get_positional()) continue;
            text += command.name;
            for (const std::string &s : option->get_snames())
                text += " -" + s;
            for (const std::string &l : option->get_lnames())
                text += " --" + l;
            if (option->get_expected_min() > 0) text += " " + option->get_type_name();
            text += "\n";
        }
    }
    return text;
}

} // namespace cli
