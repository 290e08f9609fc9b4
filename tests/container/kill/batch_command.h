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
    // Files side by side where the file system takes calls from several threads (the kill
    // switch does not under Wine: there one file after another).
    const cli::ParseResult parsed =
        cli::ParseCommandLine({"encrypt", "--no-exe", "--quiet", "--jobs", "16", "--password-file",
                               password_file, "--", folder});
    if (!parsed.error.empty()) return cli::kExitUsage;
    ui::ConsoleBackend console;
    return cli::RunBatch(parsed.options, console, [](const std::string &line) {
        std::fprintf(stderr, "quillomar: %s\n", line.c_str());
    });
}

} // namespace qxv_test
