// The batch processor behind the Encrypt and Decrypt commands (ProcessSelection in
// shell/commands.h): one password dialog, a progress window, then every selected file and
// every file below the selected folders through the container probe and engine. Every outcome
// becomes a message box owned by the command's window; BatchOutcome tells a caller without a
// window (the command line tool) how the last command went.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct BatchOutcome {
    int processed = 0;      // files encrypted or decrypted
    int skipped = 0;        // silently left alone: wrong kind, or replacement declined
    int failed = 0;         // a problem was reported for the file
    bool cancelled = false; // the password dialog or the batch was cancelled
    bool Succeeded() const { return failed == 0 && !cancelled; }
};

// How the last Encrypt or Decrypt command ended.
const BatchOutcome &LastBatchOutcome();

// Processes one file; `last` is true when no further file of the batch follows it (then a
// failure offers no way on and raises the cancel request). Returns 0.
int ProcessFile(void *window, int encrypt, std::string_view password, const std::string &path,
                bool last);

// Adds the full path of every file below `folder`, at any depth, hidden and system files
// included, to `list`, kept in ascending order without regard to letter case, each path once.
// Symbolic links are not followed (a link to a parent folder would never end).
void CollectFolderFiles(const std::string &folder, std::vector<std::string> &list);
