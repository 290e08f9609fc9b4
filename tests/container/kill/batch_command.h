// The batch as a user runs it on a folder: `quillomar encrypt --no-exe --quiet --password-file
// FILE -- FOLDER` (a folder "/disk/..." is no option, on Windows either), in this process, on
// whatever file system is installed. Its message boxes go to standard error as "caption: text".
#pragma once

#include "cli/cli_options.h"
#include "cli/command_run.h"
#include "ui/console/console_backend.h"

#include <cstdio>
#include <string>

namespace qxv_test {

// The command line tool's exit status (0: every file encrypted or skipped).
inline int run_encrypt_batch(const std::string &password_file, const std::string &folder) {
    // Files side by side where a process can be killed from any of its threads; under Wine a
    // process killed from a worker thread never ends, so there one file after another.
#ifdef _WIN32
    const char *jobs = "1";
#else
    const char *jobs = "16";
#endif
    const cli::ParseResult parsed =
        cli::ParseCommandLine({"encrypt", "--no-exe", "--quiet", "--jobs", jobs, "--password-file",
                               password_file, "--", folder});
    if (!parsed.error.empty()) return cli::kExitUsage;
    ui::ConsoleBackend console;
    return cli::RunBatch(parsed.options, console, [](const std::string &line) {
        std::fprintf(stderr, "quillomar: %s\n", line.c_str());
    });
}

} // namespace qxv_test
