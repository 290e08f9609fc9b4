// A follower of the Encrypt and Decrypt commands for a front end that shows more than the
// progress window: the number of files, each file as it starts and ends, the engine's bytes
// (as its CryptProgress, which may stop a file midway), and a second chance at the password.
// The command line sets one; the context-menu handler does not, and then the engine runs
// without a callback and the batch is as described by the progress window alone.
//
// Module-level like the selection: one command runs at a time on one thread.
#pragma once

#include "container/container.h"
#include "shell/batch_processor.h"
#include "ui/secure_string.h"

#include <cstddef>
#include <string>

class BatchProgress : public CryptProgress {
public:
    // The files the batch will hand to ProcessFile: the selected files and the files found
    // below the selected folders (folders themselves are not counted).
    virtual void BatchStarting(size_t files) = 0;
    virtual void FileStarting(const std::string &path) = 0;
    virtual void FileEnded(FileOutcome outcome) = 0;
    // The password did not open `path`: true with a new password in `password` tries this
    // file again with it, and the remaining files too.
    virtual bool PasswordAgain(const std::string &path, ui::SecureString &password) = 0;
};

// nullptr: none (the default).
void SetBatchProgress(BatchProgress *progress);
BatchProgress *CurrentBatchProgress();
