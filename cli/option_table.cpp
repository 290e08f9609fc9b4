#include "cli/option_table.h"

#include "cli/cli_options.h"

namespace cli {

std::span<const OptionSpec> OptionTable() {
    static const OptionSpec table[] = {
        {Arg::Exe, "-x,--exe", nullptr, kEncrypt,
         "also make a self-decrypting program FILE.exe, which\nreplaces FILE.qxv"},
        {Arg::NoExe, "--no-exe", nullptr, kEncrypt,
         "make none (without either: the setting saved\nlast time)"},
        {Arg::Keep, "-k,--keep", nullptr, kDecrypt, "keep the container after decrypting it"},
        {Arg::NoKeep, "--no-keep", nullptr, kDecrypt,
         "delete it (without either: the setting saved\nlast time)"},
        {Arg::PasswordFile, "-p,--password-file", "FILE", kBatch,
         "run without questions: the password is the first\nline of FILE (\"-\": standard "
         "input); messages go\nto standard error"},
        {Arg::Yes, "-y,--yes", nullptr, kBatch, "without questions: replace existing output files"},
        {Arg::No, "-n,--no", nullptr, kBatch,
         "without questions: leave them and skip the file\n(the default)"},
        {Arg::StopOnError, "-s,--stop-on-error", nullptr, kBatch,
         "without questions: stop at the first failed file\n(default: go on with the next)"},
        {Arg::Quiet, "-q,--quiet", nullptr, kBatch, "no progress line and no summary"},
        {Arg::Progress, "--progress", nullptr, kBatch,
         "the progress line and summary even when standard\nerror is not a terminal"},
        {Arg::Jobs, "-j,--jobs", "N", kBatch,
         "work on N files side by side (default: as many as\nsuit the machine; 1: one after "
         "another)"},
        {Arg::Json, "--json", nullptr, kInfo, "machine-readable output (JSON)"},
        {Arg::Help, "-h,--help", nullptr, kAll, "show this help and exit"},
    };
    return table;
}

unsigned MaskOf(Command command) {
    switch (command) {
    case Command::Encrypt:
        return kEncrypt;
    case Command::Decrypt:
        return kDecrypt;
    case Command::Info:
        return kInfo;
    default:
        return 0;
    }
}

} // namespace cli
