#include "shell/batch_processor.h"

#include "container/container.h"
#include "container/container_probe.h"
#include "container/decrypt_file.h"
#include "container/encrypt_file.h"
#include "container/finished_journal.h"
#include "container/sfx_build.h"
#include "container/stale_partial.h"
#include "platform/file_system.h"
#include "platform/held_file.h"
#include "shell/batch_messages.h"
#include "shell/batch_progress.h"
#include "shell/commands.h"
#include "shell/output_names.h"
#include "shell/selection.h"
#include "ui/Qxvpop1.h"
#include "ui/Qxvprogress.h"
#include "ui/backend.h"
#include "ui/batch_state.h"
#include "ui/secure_string.h"

#include <algorithm>
#include <memory>
#include <optional>

using ui::Batch;

namespace {

constexpr const char *PasswordWithNulText =
    "The password contains a NUL byte, which a password cannot hold. No file was changed.";

int Ask(void *window, const std::string &text, const std::string &caption, unsigned buttons) {
    return ui::CurrentBackend().RunMessageBox(window, text, caption, buttons);
}

int Show(void *window, const BatchBox &box) {
    return Ask(window, box.text, box.caption, box.buttons);
}

// Shows the boxes in order; a failure box's Cancel, or its showing on the batch's last file,
// raises the cancel request.
FileOutcome ReportFailure(void *window, const std::vector<BatchBox> &boxes, bool last) {
    for (const BatchBox &box : boxes) {
        const int answer = Show(window, box);
        if (box.stops && (last || answer != ui::idOK)) Batch.CancelRequested = 1;
    }
    return FileOutcome::Failed;
}

BatchBox CannotOpenBox(const std::string &path, bool last) {
    return FailureBox("Cannot opening file: " + path + ".", "Cannot open file", last);
}

BatchBox NoticeBox(const std::string &text, const char *caption) {
    return {text, caption, ui::mbOK, false};
}

// One file's way through the batch: what its plan found, and the files it holds until the
// commit. Files to be replaced are held from the user's consent on: only they are deleted later.
struct FilePlan {
    FilePlan(void *window, bool encrypt, const std::string &path, bool last, bool named)
        : window(window), encrypt(encrypt), path(path), last(last), named(named) {}

    void *const window;
    const bool encrypt;
    const std::string &path;
    const bool last;
    const bool named;   // given by the user, not found in a folder
    std::string output; // the name the result takes
    std::string target; // where decryption writes: a temporary name beside the output
    bool makeExe = false;
    bool outputExisted = false;
    platform::HeldFile oldExecutable, oldOutput, source;
};

FileOutcome ReportNotWritten(const FilePlan &plan, const std::string &name) {
    return ReportFailure(plan.window,
                         {CannotWriteBox(name), CannotProcessBox(plan.path, plan.last)}, plan.last);
}

// A free name beside `path` for a file that replaces it once complete.
std::string FreeNameBeside(const std::string &path, const char *suffix) {
    auto &fs = platform::file_system();
    std::string candidate = path + suffix;
    for (int n = 1; fs.exists(candidate); ++n)
        candidate = path + suffix + std::to_string(n);
    return candidate;
}

// The temporary name a decryption writes to beside `output`: "<output>.qxvpart", freed of
// what a run that died there left, or else a free numbered one.
std::string PartialNameBeside(const FilePlan &plan) {
    const std::string partial = plan.output + ".qxvpart";
    if (container_remove_stale_partial(plan.path.c_str(), partial.c_str())) return partial;
    return FreeNameBeside(partial, "");
}

// Puts the complete file `fresh` (at `freshPath`) in the place of `old` (at `path`, if held);
// on failure `fresh` is removed.
bool ReplaceWith(platform::HeldFile &old, const std::string &path, platform::HeldFile &fresh,
                 const std::string &freshPath) {
    if (old.held()) old.remove_at(path); // a refusal shows in the rename: the name is taken
    if (fresh.rename_at(freshPath, path)) return true;
    fresh.remove_at(freshPath);
    return false;
}

// Builds the self-decrypting executable beside the new container. An executable the user
// agreed to replace (held) is replaced only once the new one is whole. The container is
// deleted afterwards unless a file of its name was there before this encryption. False on
// failure (reported; the container is kept).
bool BuildExecutable(FilePlan &plan) {
    auto &fs = platform::file_system();
    const bool replace = plan.oldExecutable.held();
    const std::string executable = sfx_executable_path(plan.path);
    const std::string stub = sfx_stub_path(fs.module_path());
    const std::string target = replace ? FreeNameBeside(executable, ".part") : executable;
    const SfxResult built = container_build_sfx(stub, target, plan.output, false);
    platform::HeldFile made;
    if (built.code == SFX_OK) made.adopt(built.executable);
    if (built.code == SFX_OK &&
        (!replace || ReplaceWith(plan.oldExecutable, executable, made, target))) {
        if (!plan.outputExisted) plan.source.remove_at(plan.output);
        return true;
    }
    if (built.code == SFX_ERR_STUB)
        Ask(plan.window, "Problem", built.problem_path, ui::mbOK);
    else
        Show(plan.window, CannotWriteBox(executable));
    return false;
}

// A file of the wrong kind is skipped without a box. One the user named is told about where a
// console shows it; a named "*.qxv" that is no valid container cannot be what was meant.
FileOutcome SkipByKind(const FilePlan &plan) {
    if (!plan.named) return FileOutcome::Skipped;
    ui::Backend &backend = ui::CurrentBackend();
    if (plan.encrypt) {
        backend.Notice(plan.path, "already encrypted, skipped");
        return FileOutcome::Skipped;
    }
    if (HasContainerExtension(plan.path)) {
        backend.Notice(plan.path, "not a valid encrypted file");
        return FileOutcome::Failed;
    }
    backend.Notice(plan.path, "not an encrypted file, skipped");
    return FileOutcome::Skipped;
}

// The probe's part of the plan: a file of the wrong kind goes no further.
std::optional<FileOutcome> CheckKind(const FilePlan &plan) {
    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
    const int probe = container_probe(plan.path.c_str(), algorithm);
    if (probe == PROBE_OLD_FORMAT)
        return ReportFailure(
            plan.window,
            {NoticeBox("Cannot Decrypt. Old format encountered in file: " + plan.path + ".",
                       "Old format")},
            plan.last);
    if (probe == PROBE_CANNOT_OPEN)
        return ReportFailure(plan.window, {CannotOpenBox(plan.path, plan.last)}, plan.last);
    // Only encrypting again, with the same password, finishes an interrupted encryption.
    const bool interrupted = container_probe_interrupted(plan.path.c_str());
    if (interrupted && !plan.encrypt)
        return ReportFailure(plan.window,
                             {NoticeBox("Encryption of file: " + plan.path +
                                            " was interrupted. Encrypt it again with the same "
                                            "password to finish it.",
                                        "Interrupted encryption")},
                             plan.last);
    if (!interrupted && (probe == PROBE_CONTAINER) == plan.encrypt) {
        // Encrypting again after a kill: the journal left beside a finished container goes.
        if (plan.encrypt) container_remove_finished_journal(plan.path.c_str());
        return SkipByKind(plan);
    }
    return std::nullopt;
}

// Asks before the existing file `name` is replaced, and holds it from the consent on. A folder
// cannot be held (nor could any file take its place).
std::optional<FileOutcome> ConsentToReplace(const FilePlan &plan, const std::string &name,
                                            const std::string &question, const char *caption,
                                            platform::HeldFile &held) {
    if (Ask(plan.window, question, caption, ui::mbYesNo) != ui::idYes) return FileOutcome::Skipped;
    if (!held.hold(name)) return ReportNotWritten(plan, name);
    return std::nullopt;
}

// Plan: probe, names and consent; the files to be replaced and the source are held. Returns
// how the file ended when it goes no further.
std::optional<FileOutcome> PlanFile(FilePlan &plan) {
    if (const auto ended = CheckKind(plan)) return ended;
    auto &fs = platform::file_system();
    const std::string &path = plan.path;
    plan.output = plan.encrypt ? EncryptedName(path) : DecryptedName(path);
    // A link (even a dangling one), a folder or a device at the output's name cannot take the
    // result: found now, before the first byte changes.
    const platform::NameKind outputKind = fs.name_kind(plan.output);
    if (outputKind == platform::NameKind::Other) return ReportNotWritten(plan, plan.output);
    plan.makeExe = plan.encrypt && Batch.MakeExeFile;
    if (plan.makeExe && fs.exists(sfx_executable_path(path))) {
        if (const auto ended = ConsentToReplace(plan, sfx_executable_path(path),
                                                "EXE-file: " + path +
                                                    ".exe already exists. Replace existing file?",
                                                "EXE file Exist", plan.oldExecutable))
            return ended;
    }
    plan.outputExisted = outputKind == platform::NameKind::File;
    if (plan.outputExisted) {
        if (const auto ended = ConsentToReplace(
                plan, plan.output,
                std::string(plan.encrypt ? "Encrypted " : "Decrypted ") + " file for: " + path +
                    " already exists. Replace existing file?",
                "File Exist", plan.oldOutput))
            return ended;
    }
    if (!plan.source.hold(path))
        return ReportFailure(plan.window, {CannotOpenBox(path, plan.last)}, plan.last);
    // The old output stays until the new one is complete: decryption writes beside it and
    // renames into place, encryption removes it only once the container is whole.
    if (!plan.encrypt) plan.target = PartialNameBeside(plan);
    return std::nullopt;
}

// Run: the engine from the source to the plan's target; a decrypted file is adopted as
// `plain`. A failed decryption leaves no target: the engine removes what it wrote, and nothing
// else may be deleted here (a file at that name now is somebody else's). Encryption works on
// the very file held as the source and gives it the output's name, removing the old output
// (held) just before.
int RunEngine(FilePlan &plan, std::string_view password, platform::HeldFile &plain) {
    ui::SecureString secret(password.begin(), password.end());
    int result = CRYPT_OK;
    if (plan.encrypt) {
        EncryptOutput output{plan.output, plan.source.identity(), [&plan] {
                                 if (plan.outputExisted) plan.oldOutput.remove_at(plan.output);
                             }};
        result = container_encrypt_file(plan.path.c_str(), output, secret.c_str(), 'A',
                                        CurrentBatchProgress());
    } else {
        const char mode = Batch.CipherSelector == 0 ? 'd' : Batch.CipherSelector == 1 ? 'D' : 'C';
        platform::FileIdentity made;
        result = container_decrypt_file(plan.path.c_str(), plan.target.c_str(), secret.c_str(),
                                        mode, &made, CurrentBatchProgress());
        if (result == CRYPT_OK) plain.adopt(made);
    }
    ui::SecureWipe(secret);
    return result;
}

// Commit: the decrypted file takes the output's place and the container goes (unless kept);
// the encrypted file, under the container's name already, becomes an executable if asked.
FileOutcome CommitFile(FilePlan &plan, platform::HeldFile &plain) {
    if (!plan.encrypt) {
        if (!ReplaceWith(plan.oldOutput, plan.output, plain, plan.target))
            return ReportNotWritten(plan, plan.output);
        if (!Batch.KeepEncryptedFile) plan.source.remove_at(plan.path);
        return FileOutcome::Processed;
    }
    if (plan.makeExe && !BuildExecutable(plan)) return FileOutcome::Failed;
    return FileOutcome::Processed;
}

void Count(BatchOutcome &outcome, FileOutcome file) {
    switch (file) {
    case FileOutcome::Processed:
        ++outcome.processed;
        break;
    case FileOutcome::Skipped:
        ++outcome.skipped;
        break;
    case FileOutcome::Failed:
        ++outcome.failed;
        break;
    }
}

bool IsFolderItem(const std::string &path) {
    // An item whose attributes cannot be read (it vanished) counts as a folder: the search
    // then finds nothing in it.
    const auto attributes = platform::file_system().attributes(path);
    return !attributes || attributes->is_folder;
}

unsigned char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Ascending without regard to letter case; names that differ only in case keep a fixed order.
bool PathLess(const std::string &a, const std::string &b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// The password dialog, released before any file is touched. False when it was cancelled.
bool AskPassword(int encrypt, size_t count, ui::SecureString &password) {
    unsigned char singleFolder = 0;
    std::string first;
    if (count == 1) {
        first = GetSelectionPath(0);
        singleFolder = IsFolderItem(first) ? 1 : 0;
    }
    const std::string information = InformationText(encrypt != 0, count, first, singleFolder);
    ui::TForm1 dialog(nullptr, &singleFolder, information);
    if (dialog.ShowModal() != ui::mrOk) return false;
    password = dialog.ebPassword->SecureText();
    return true;
}

// ProcessFile with the batch's own password, which a follower may replace after a wrong one
// (for this file and the rest of the batch).
FileOutcome ProcessFileWith(void *window, int encrypt, ui::SecureString &password,
                            const std::string &path, bool last, bool named) {
    FilePlan plan(window, encrypt != 0, path, last, named);
    if (const auto ended = PlanFile(plan)) return *ended;
    platform::HeldFile plain;
    int result = RunEngine(plan, ui::View(password), plain);
    BatchProgress *const follower = CurrentBatchProgress();
    while (result == CRYPT_ERR_PASSWORD && follower && follower->PasswordAgain(path, password) &&
           password.find('\0') == ui::SecureString::npos)
        result = RunEngine(plan, ui::View(password), plain);
    if (result == CRYPT_STOPPED) { // the follower stopped it; the file is as it was
        Batch.CancelRequested = 1;
        return FileOutcome::Skipped;
    }
    if (result != CRYPT_OK)
        return ReportFailure(window, EngineResultBoxes(result, path, plan.output, last), last);
    return CommitFile(plan, plain);
}

// What the follower is told to expect: the selected files plus the files below the selected
// folders.
size_t CountFiles(size_t count) {
    size_t files = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string path = GetSelectionPath(i);
        if (!IsFolderItem(path)) {
            ++files;
            continue;
        }
        std::vector<std::string> found;
        CollectFolderFiles(WithoutTrailingSeparator(path), found);
        files += found.size();
    }
    return files;
}

} // namespace

namespace {

// `found`: the folder was an entry of a listed folder, so it exists even where its path is too
// long to be looked at.
void CollectFrom(const std::string &folder, bool found, std::vector<std::string> &list,
                 FolderProblems *problems) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::file_system().list_folder(folder, &entries)) {
        if (problems && (found || platform::file_system().exists(folder)))
            problems->unlisted.push_back(folder);
        return;
    }
    for (const auto &entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.is_link) continue;
        // The engine's, beside a file it encrypts.
        if (container_probe_journal_name(entry.name.c_str())) continue;
        const std::string path = folder + PathSeparator() + entry.name;
        if (entry.is_folder) {
            CollectFrom(path, true, list, problems);
            continue;
        }
        if (entry.is_other) {
            if (problems) problems->others.push_back(path);
            continue;
        }
        const auto at = std::lower_bound(list.begin(), list.end(), path, PathLess);
        if (at == list.end() || *at != path) list.insert(at, path);
    }
}

} // namespace

void CollectFolderFiles(const std::string &folder, std::vector<std::string> &list,
                        FolderProblems *problems) {
    CollectFrom(folder, false, list, problems);
}

FileOutcome ProcessFile(void *window, int encrypt, std::string_view password,
                        const std::string &path, bool last, bool named) {
    ui::SecureString secret(password.begin(), password.end());
    const FileOutcome outcome = ProcessFileWith(window, encrypt, secret, path, last, named);
    ui::SecureWipe(secret);
    return outcome;
}

BatchOutcome ProcessSelection(void *window, int encrypt) {
    BatchOutcome outcome;
    ui::CommandScope scope;
    if (!scope.Acquired()) { // one command at a time; the running one goes on
        outcome.cancelled = true;
        return outcome;
    }
    Batch.ResetForCommand();

    const size_t count = GetSelectionCount();
    Batch.EncryptMode = encrypt;
    Batch.CancelRequested = 0;
    ui::SecureString password;
    if (!AskPassword(encrypt, count, password)) {
        outcome.cancelled = true;
        return outcome;
    }
    // The engine takes the password as C text: a NUL would cut it short unseen.
    if (password.find('\0') != ui::SecureString::npos) {
        ui::SecureWipe(password);
        Ask(window, PasswordWithNulText, "Invalid Password", ui::mbOK);
        ++outcome.failed;
        return outcome;
    }

    BatchProgress *const follower = CurrentBatchProgress();
    if (follower) follower->BatchStarting(CountFiles(count));
    {
        ui::TForm2 progress(nullptr);
        progress.ProgressBar1->Max = static_cast<int>(count);
        progress.ProgressBar1->Position = 0;
        progress.ProgressBar1->Step = 1;
        progress.Show();
        const std::string prefix = encrypt ? "Encrypting file: " : "Decryption file: ";
        auto process = [&](const std::string &path, bool last, bool named) {
            progress.FileName->Caption = prefix + path;
            progress.Update();
            if (follower) follower->FileStarting(path);
            const FileOutcome file = ProcessFileWith(window, encrypt, password, path, last, named);
            if (follower) follower->FileEnded(file);
            Count(outcome, file);
            ui::ProcessMessages();
            progress.ProgressBar1->StepIt();
        };

        for (size_t i = 0; i < count; ++i) {
            std::string path = GetSelectionPath(i);
            if (Batch.CancelRequested == 1) {
                Ask(window, "Action cancelled", "Advisory", ui::mbOK);
                break;
            }
            const bool lastItem = i + 1 == count;
            if (IsFolderItem(path)) {
                path = WithoutTrailingSeparator(path);
                std::vector<std::string> files;
                FolderProblems problems;
                CollectFolderFiles(path, files, &problems);
                for (const std::string &other : problems.others) {
                    ui::CurrentBackend().Notice(other, "not a regular file, skipped");
                    ++outcome.skipped;
                }
                // A folder left unread leaves its files plain: a failure, and the rest goes on.
                for (size_t j = 0; j < problems.unlisted.size() && !Batch.CancelRequested; ++j) {
                    const bool last =
                        lastItem && files.empty() && j + 1 == problems.unlisted.size();
                    Count(outcome,
                          ReportFailure(
                              window,
                              {FailureBox("Cannot list folder: " + problems.unlisted[j] + ".",
                                          "Cannot open folder", last)},
                              last));
                }
                progress.ProgressBar1->Max += static_cast<int>(files.size());
                for (size_t j = 0; j < files.size() && !Batch.CancelRequested; ++j)
                    process(files[j], lastItem && j + 1 == files.size(), false);
            } else {
                process(path, lastItem, true);
            }
        }
        progress.Hide();
    }
    ui::SecureWipe(password);
    if (Batch.CancelRequested == 1) outcome.cancelled = true;
    return outcome;
}
