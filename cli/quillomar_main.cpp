// quillomar: the Encrypt, Decrypt and Info commands of the context menu, with the paths of the
// command line as the selection.
#include "cli/cli_options.h"
#include "cli/command_run.h"
#include "platform/terminal.h"
#include "shell/file_info_report.h"
#include "ui/console/console_backend.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/utf16.h"
#endif

namespace {

using cli::kExitFailed;
using cli::kExitUsage;

void Say(const std::string &text) {
    platform::terminal::write_error(text);
}

void SayLine(const std::string &line) {
    Say("quillomar: " + line + "\n");
}

// The Info box's lines, then the details a terminal user asks for (or the JSON form).
int RunInfo(const cli::Options &options) {
    const FileInfoReport report = InspectFile(options.paths.front());
    const std::string text = options.json ? FormatFileInfoJson(report) : FormatFileInfoText(report);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return ReportIsContainer(report) ? 0 : kExitFailed;
}

int Run(const std::vector<std::string> &arguments) {
    const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        Say("quillomar: " + parsed.error + "\n" + cli::UsageText() +
            "Try 'quillomar --help' for more.\n");
        return kExitUsage;
    }
    if (cli::PrintText(parsed.options)) return 0;
    if (parsed.options.command == cli::Command::Info) return RunInfo(parsed.options);
    ui::ConsoleBackend console;
    return cli::RunBatch(parsed.options, console, SayLine);
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t **argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(platform::win32::narrow(argv[i]));
    return Run(arguments);
}
#else
int main(int argc, char **argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
