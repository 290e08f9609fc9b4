// The batch processor behind the Encrypt and Decrypt commands (ProcessSelection in
// shell/commands.h): one password dialog, a progress window, then every selected file and
// every file below the selected folders through the container probe and engine. Every outcome
// becomes a message box owned by the command's window, and the command's BatchOutcome is
// returned to its caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class FileOutcome { Processed, Skipped, Failed };

// Processes one file in three steps: plan (probe, names, consent to replace), run (the engine),
// commit (rename, replace, executable). `last` is true when no further file of the batch
// follows it (then a failure offers no way on and raises the cancel request). A file the user
// `named` (not one found in a folder) that is skipped by its kind is told to the backend's
// Notice; a named "*.qxv" that is no valid container to decrypt fails.
FileOutcome ProcessFile(void *window, int encrypt, std::string_view password,
                        const std::string &path, bool last, bool named = false);

// What a folder search left out: entries that are neither files nor folders (FIFOs, devices),
// and folders that could not be listed (a folder that does not exist is not among them).
struct FolderProblems {
    std::vector<std::string> others;
    std::vector<std::string> unlisted;
};

// Adds the full path of every regular file below `folder`, at any depth, hidden and system files
// included, to `list`, kept in ascending order without regard to letter case, each path once.
// Symbolic links are not followed (a link to a parent folder would never end).
void CollectFolderFiles(const std::string &folder, std::vector<std::string> &list,
                        FolderProblems *problems = nullptr);
