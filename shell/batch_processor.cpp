#include "shell/batch_processor.h"

#include "container/container.h"
#include "container/container_probe.h"
#include "container/decrypt_file.h"
#include "container/journal.h"
#include "container/sfx_build.h"
#include "platform/file_system.h"
#include "platform/held_file.h"
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

using ui::Batch;

namespace {

BatchOutcome outcome;

int Ask(void *window, const std::string &text, const std::string &caption, unsigned buttons) {
    return ui::CurrentBackend().RunMessageBox(window, text, caption, buttons);
}

// A problem with one file: OK goes on with the next one, Cancel (or no next file) stops.
void ReportFailure(void *window, const std::string &message, const char *caption, bool last) {
    ++outcome.failed;
    if (last) {
        Ask(window, message, caption, ui::mbOK);
        Batch.CancelRequested = 1;
    } else if (Ask(window, message + " Continue with the next file?", caption, ui::mbOKCancel) !=
               ui::idOK) {
        Batch.CancelRequested = 1;
    }
}

void ReportCannotProcess(void *window, const std::string &path, bool last) {
    ReportFailure(window, "Cannot process file: " + path + ".", "Cannot Process File", last);
}

void ReportCannotWrite(void *window, const std::string &output) {
    Ask(window, "Cannot write file: " + output + ".", "Cannot write file", ui::mbOK);
}

// A free name beside `path` for a file that replaces it once complete.
std::string FreeNameBeside(const std::string &path, const char *suffix) {
    auto &fs = platform::file_system();
    std::string candidate = path + suffix;
    for (int n = 1; fs.exists(candidate); ++n)
        candidate = path + suffix + std::to_string(n);
    return candidate;
}

// Puts the complete file `fresh` (at `freshPath`) in the place of `old` (at `path`); on
// failure `fresh` is removed.
bool ReplaceWith(platform::HeldFile &old, const std::string &path, platform::HeldFile &fresh,
                 const std::string &freshPath) {
    old.remove_at(path); // a refusal shows in the rename: the name is still taken
    if (fresh.rename_at(freshPath, path)) return true;
    fresh.remove_at(freshPath);
    return false;
}

// Builds the self-decrypting executable beside the new container. An executable the user
// agreed to replace (`oldExecutable`, held) is replaced only once the new one is whole. The
// container is deleted afterwards unless a file of its name was there before this encryption.
// False on failure (reported; the container is kept).
bool BuildExecutable(void *window, const std::string &plain, const std::string &container,
                     platform::HeldFile &heldContainer, bool containerExisted,
                     platform::HeldFile &oldExecutable) {
    auto &fs = platform::file_system();
    const bool replace = oldExecutable.held();
    const std::string executable = sfx_executable_path(plain);
    const std::string stub = sfx_stub_path(fs.module_path());
    const std::string target = replace ? FreeNameBeside(executable, ".part") : executable;
    const SfxResult built = container_build_sfx(stub, target, container, false);
    platform::HeldFile made;
    if (built.code == SFX_OK) made.adopt(built.executable);
    if (built.code == SFX_OK &&
        (!replace || ReplaceWith(oldExecutable, executable, made, target))) {
        if (!containerExisted) heldContainer.remove_at(container);
        return true;
    }
    if (built.code == SFX_ERR_STUB)
        Ask(window, "Problem", built.problem_path, ui::mbOK);
    else
        ReportCannotWrite(window, executable);
    return false;
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

} // namespace

const BatchOutcome &LastBatchOutcome() {
    return outcome;
}

void CollectFolderFiles(const std::string &folder, std::vector<std::string> &list) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::file_system().list_folder(folder, &entries)) return;
    for (const auto &entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.is_link) continue;
        if (IsJournalName(entry.name)) continue; // the engine's, beside a file it encrypts
        const std::string path = folder + PathSeparator() + entry.name;
        if (entry.is_folder) {
            CollectFolderFiles(path, list);
            continue;
        }
        const auto at = std::lower_bound(list.begin(), list.end(), path, PathLess);
        if (at == list.end() || *at != path) list.insert(at, path);
    }
}

int ProcessFile(void *window, int encrypt, std::string_view password, const std::string &path,
                bool last) {
    auto &fs = platform::file_system();
    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
    const int probe = container_probe(path.c_str(), algorithm);
    if (probe == PROBE_OLD_FORMAT) {
        ++outcome.failed;
        Ask(window, "Cannot Decrypt. Old format encountered in file: " + path + ".", "Old format",
            ui::mbOK);
        return 0;
    }
    if (probe == PROBE_CANNOT_OPEN) {
        ReportFailure(window, "Cannot opening file: " + path + ".", "Cannot open file", last);
        return 0;
    }
    // An encryption cut short leaves its journal beside the file: only encrypting again, with
    // the same password, finishes it, even when all that was left was deleting the journal.
    const bool interrupted = fs.exists(journal_path(path));
    if (interrupted && !encrypt) {
        ++outcome.failed;
        Ask(window,
            "Encryption of file: " + path +
                " was interrupted. Encrypt it again with the same password to finish it.",
            "Interrupted encryption", ui::mbOK);
        return 0;
    }
    if (!interrupted && (probe == PROBE_CONTAINER) == (encrypt != 0)) {
        ++outcome.skipped;
        return 0;
    }

    const std::string output = encrypt ? EncryptedName(path) : DecryptedName(path);
    const bool makeExe = encrypt && Batch.MakeExeFile;
    // Files to be replaced are held from the user's consent on: only they are deleted later.
    platform::HeldFile oldExecutable, oldOutput, source;
    if (makeExe && fs.exists(sfx_executable_path(path))) {
        if (Ask(window, "EXE-file: " + path + ".exe already exists. Replace existing file?",
                "EXE file Exist", ui::mbYesNo) != ui::idYes) {
            ++outcome.skipped;
            return 0;
        }
        if (!oldExecutable.hold(sfx_executable_path(path))) {
            ReportCannotWrite(window, sfx_executable_path(path));
            ReportCannotProcess(window, path, last);
            return 0;
        }
    }
    const bool outputExisted = fs.exists(output);
    if (outputExisted) {
        if (Ask(window,
                std::string(encrypt ? "Encrypted " : "Decrypted ") + " file for: " + path +
                    " already exists. Replace existing file?",
                "File Exist", ui::mbYesNo) != ui::idYes) {
            ++outcome.skipped;
            return 0;
        }
        // A folder cannot be held (nor could any file take its place).
        if (!oldOutput.hold(output)) {
            ReportCannotWrite(window, output);
            ReportCannotProcess(window, path, last);
            return 0;
        }
    }
    if (!source.hold(path)) {
        ReportFailure(window, "Cannot opening file: " + path + ".", "Cannot open file", last);
        return 0;
    }

    // The old output stays until the new one is complete: decryption writes beside it and
    // renames over it, encryption removes it only after the engine succeeded.
    const std::string target = !encrypt && outputExisted ? FreeNameBeside(output, ".part") : output;
    ui::SecureString secret(password.begin(), password.end());
    int result = CRYPT_OK;
    platform::HeldFile plain;
    if (encrypt) {
        result = container_crypt_file(path.c_str(), target.c_str(), secret.c_str(), 'A');
    } else {
        const char mode = Batch.CipherSelector == 0 ? 'd' : Batch.CipherSelector == 1 ? 'D' : 'C';
        platform::FileIdentity made;
        result = container_decrypt_file(path.c_str(), target.c_str(), secret.c_str(), mode, &made);
        if (result == CRYPT_OK) plain.adopt(made);
    }
    ui::SecureWipe(secret);

    // A failed decryption leaves no target: the engine removes what it wrote, and nothing
    // else may be deleted here (a file at that name now is somebody else's).
    if (result != CRYPT_OK) {
        switch (result) {
        case CRYPT_ERR_FILE:
            ReportCannotWrite(window, output);
            break;
        case CRYPT_ERR_DISK_FULL:
            Ask(window, "Cannot write file: " + output + ". Out of Disk Space.",
                "Out of Disk space", ui::mbOK);
            break;
        case CRYPT_ERR_TOO_LARGE:
            Ask(window,
                "Cannot encrypt file: " + path + ". Files of 2 GB or more are not supported.",
                "File too large", ui::mbOK);
            break;
        case CRYPT_ERR_PASSWORD:
            ReportFailure(window, "Invalid password used for file: " + path + ".",
                          "Invalid Password", last);
            return 0;
        default:
            break;
        }
        ReportCannotProcess(window, path, last);
        return 0;
    }

    if (!encrypt) {
        if (target != output && !ReplaceWith(oldOutput, output, plain, target)) {
            ReportCannotWrite(window, output);
            ReportCannotProcess(window, path, last);
            return 0;
        }
        if (!Batch.KeepEncryptedFile) source.remove_at(path);
        ++outcome.processed;
        return 0;
    }

    if (outputExisted) oldOutput.remove_at(output); // a refusal shows in the rename
    if (!source.rename_at(path, output)) {
        // The file is a whole container still under its plain name; say so.
        ReportCannotWrite(window, output);
        ReportCannotProcess(window, path, last);
        return 0;
    }
    if (makeExe && !BuildExecutable(window, path, output, source, outputExisted, oldExecutable)) {
        ++outcome.failed;
        return 0;
    }
    ++outcome.processed;
    return 0;
}

int ProcessSelection(void *window, int encrypt) {
    ui::CommandScope scope;
    if (!scope.Acquired()) return 0; // one command at a time; the running one goes on
    outcome = BatchOutcome{};
    Batch.ResetForCommand();

    const size_t count = GetSelectionCount();
    Batch.EncryptMode = encrypt;
    Batch.CancelRequested = 0;
    unsigned char singleFolder = 0;
    std::string first;
    if (count == 1) {
        first = GetSelectionPath(0);
        singleFolder = IsFolderItem(first) ? 1 : 0;
    }
    const std::string information = InformationText(encrypt != 0, count, first, singleFolder);

    ui::SecureString password;
    {
        ui::TForm1 dialog(nullptr, &singleFolder, information);
        if (dialog.ShowModal() != ui::mrOk) {
            outcome.cancelled = true;
            return 0;
        }
        password = dialog.ebPassword->SecureText();
    }

    {
        ui::TForm2 progress(nullptr);
        progress.ProgressBar1->Max = static_cast<int>(count);
        progress.ProgressBar1->Position = 0;
        progress.ProgressBar1->Step = 1;
        progress.Show();
        const std::string prefix = encrypt ? "Encrypting file: " : "Decryption file: ";
        auto process = [&](const std::string &path, bool last) {
            progress.FileName->Caption = prefix + path;
            progress.Update();
            ProcessFile(window, encrypt, ui::View(password), path, last);
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
                CollectFolderFiles(path, files);
                progress.ProgressBar1->Max += static_cast<int>(files.size());
                for (size_t j = 0; j < files.size(); ++j) {
                    process(files[j], lastItem && j + 1 == files.size());
                    if (Batch.CancelRequested == 1) break;
                }
            } else {
                process(path, lastItem);
            }
        }
        progress.Hide();
    }
    ui::SecureWipe(password);
    if (Batch.CancelRequested == 1) outcome.cancelled = true;
    return 0;
}
