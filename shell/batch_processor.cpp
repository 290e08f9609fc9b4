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
#include "shell/file_workers.h"
#include "shell/finish_order.h"
#include "shell/output_names.h"
#include "shell/selection.h"
#include "ui/Qxvpop1.h"
#include "ui/Qxvprogress.h"
#include "ui/backend.h"
#include "ui/batch_state.h"
#include "ui/secure_string.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

using ui::Batch;

namespace {

constexpr const char *PasswordWithNulText =
    "The password contains a NUL byte, which a password cannot hold. No file was changed.";

// While a batch has files in flight: what the files before have to show is shown first.
// False when one of them cancelled the batch: the batch would not have come this far, and
// nothing is shown (a question counts as answered No, a box as Cancel).
bool BeforeShowing();

int Ask(void *window, const std::string &text, const std::string &caption, unsigned buttons) {
    if (!BeforeShowing()) return buttons == ui::mbYesNo ? ui::idNo : ui::idCancel;
    return ui::CurrentBackend().RunMessageBox(window, text, caption, buttons);
}

void Tell(const std::string &path, const std::string &remark) {
    if (BeforeShowing()) ui::CurrentBackend().Notice(path, remark);
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
    const bool named; // given by the user, not found in a folder
    char decryptMode = 'C';
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
    if (plan.encrypt) {
        Tell(plan.path, "already encrypted, skipped");
        return FileOutcome::Skipped;
    }
    if (HasContainerExtension(plan.path)) {
        Tell(plan.path, "not a valid encrypted file");
        return FileOutcome::Failed;
    }
    Tell(plan.path, "not an encrypted file, skipped");
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
    plan.decryptMode = Batch.CipherSelector == 0 ? 'd' : Batch.CipherSelector == 1 ? 'D' : 'C';
    return std::nullopt;
}

// Run: the engine from the source to the plan's target; a decrypted file is adopted as
// `plain`. A failed decryption leaves no target: the engine removes what it wrote, and nothing
// else may be deleted here (a file at that name now is somebody else's). Encryption works on
// the very file held as the source and gives it the output's name, removing the old output
// (held) just before. Safe on a worker thread: it touches only the plan and its files.
int RunEngine(FilePlan &plan, std::string_view password, platform::HeldFile &plain,
              CryptProgress *progress) {
    ui::SecureString secret(password.begin(), password.end());
    int result = CRYPT_OK;
    if (plan.encrypt) {
        EncryptOutput output{plan.output, plan.source.identity(), [&plan] {
                                 if (plan.outputExisted) plan.oldOutput.remove_at(plan.output);
                             }};
        result = container_encrypt_file(plan.path.c_str(), output, secret.c_str(), 'A', progress);
    } else {
        platform::FileIdentity made;
        result = container_decrypt_file(plan.path.c_str(), plan.target.c_str(), secret.c_str(),
                                        plan.decryptMode, &made, progress);
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

// After the engine's `result`: a wrong password may be replaced by the follower (for this file
// and the rest of the batch; `replaced` counts it), then the failure is reported or the file
// committed.
FileOutcome AfterEngine(FilePlan &plan, int result, ui::SecureString &password,
                        platform::HeldFile &plain, unsigned *replaced = nullptr) {
    BatchProgress *const follower = CurrentBatchProgress();
    while (result == CRYPT_ERR_PASSWORD && follower &&
           follower->PasswordAgain(plan.path, password) &&
           password.find('\0') == ui::SecureString::npos) {
        if (replaced) ++*replaced;
        result = RunEngine(plan, ui::View(password), plain, follower);
    }
    if (result == CRYPT_STOPPED) { // the follower stopped it; the file is as it was
        Batch.CancelRequested = 1;
        return FileOutcome::Skipped;
    }
    if (result != CRYPT_OK)
        return ReportFailure(
            plan.window, EngineResultBoxes(result, plan.path, plan.output, plan.last), plan.last);
    return CommitFile(plan, plain);
}

// ProcessFile with the batch's own password, which a follower may replace after a wrong one.
FileOutcome ProcessFileWith(void *window, int encrypt, ui::SecureString &password,
                            const std::string &path, bool last, bool named) {
    FilePlan plan(window, encrypt != 0, path, last, named);
    if (const auto ended = PlanFile(plan)) return *ended;
    platform::HeldFile plain;
    const int result = RunEngine(plan, ui::View(password), plain, CurrentBatchProgress());
    return AfterEngine(plan, result, password, plain);
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

// The engine's bytes for a file on a worker, read by the calling thread; a stop asked there
// reaches the engine at its next report. An encryption waits to finish for its turn.
class EngineProgress : public CryptProgress {
public:
    bool advance(uint64_t done, uint64_t total) override {
        done_.store(done);
        total_.store(total);
        return !stop_.load();
    }
    bool may_finish() override {
        return !stop_.load() && (order_ == nullptr || order_->MayFinish(number_));
    }
    void Order(FinishOrder *order, size_t number) {
        order_ = order;
        number_ = number;
    }
    void Stop() { stop_.store(true); }
    uint64_t Done() const { return done_.load(); }
    uint64_t Total() const { return total_.load(); }

private:
    std::atomic<uint64_t> done_{0}, total_{0};
    std::atomic<bool> stop_{false};
    FinishOrder *order_ = nullptr;
    size_t number_ = 0;
};

// At most this many files in flight, and files of at least kLargeFile bytes no more than the
// processor's cores: small files wait mostly on the disk's flushes, large ones on the cipher.
// The more flushes wait together, the more of them the disk serves as one: 1000 files of 4 KiB
// took a third less time with 64 in flight than with 16; with 128 no less, with 256 more.
constexpr size_t kMostInFlight = 64;
constexpr uint64_t kLargeFile = 4u << 20;

// The files of a batch on their way. Each is planned on the calling thread in the batch's
// order; its engine runs on a worker when the file system takes calls from several threads
// (else right away, as ProcessFile does); then it is committed and reported on the calling
// thread, again in the batch's order. Whatever a file shows (boxes, questions, notices, the
// follower's events, the progress window) comes after all that the files before it show, so a
// user sees the batch exactly as if its files ran one after another. Once the batch is
// cancelled, files still running after the current one are stopped and left as they were.
class FilesInFlight {
public:
    FilesInFlight(void *window, int encrypt, ui::SecureString &password, BatchOutcome &outcome,
                  ui::TForm2 &progress);
    ~FilesInFlight();
    FilesInFlight(const FilesInFlight &) = delete;
    FilesInFlight &operator=(const FilesInFlight &) = delete;

    // `item`: which selected item the file belongs to.
    void Process(const std::string &path, bool last, bool named, size_t item);
    // Reports every file in flight.
    void FinishAll();
    // Before anything is shown: the files in flight are reported first. False when they
    // cancelled the batch and the file being planned is to show nothing.
    bool BeforeShowing();
    // Whether a file of a selected item before `item` cancelled the batch.
    bool CancelledBefore(size_t item) const { return cancelItem_ && *cancelItem_ < item; }

private:
    struct Entry {
        Entry(void *window, bool encrypt, const std::string &path, bool last, bool named,
              size_t item)
            : path(path), item(item), plan(window, encrypt, this->path, last, named) {}
        const std::string path;
        const size_t item;
        FilePlan plan;                    // refers to `path`
        std::optional<FileOutcome> ended; // it went no further than its plan
        bool started = false;             // shown as the current file
        bool onWorker = false;
        size_t number = 0;      // in the finish order, when on a worker
        bool abandoned = false; // stopped because the batch was cancelled
        uint64_t size = 0;
        std::vector<std::string> names; // the names its run may create, rename or remove
        ui::SecureString password;
        unsigned passwordVersion = 0;
        platform::HeldFile plain;
        int result = CRYPT_OK;
        EngineProgress progress;
        std::atomic<bool> finished{false};
    };

    void Start(Entry &entry);
    void Launch(Entry &entry);
    bool HasRoom(uint64_t size) const;
    bool Collides(const std::vector<std::string> &names) const;
    void Wait(Entry &entry);
    void FinishHead();
    void AbandonAfterHead(size_t item);

    void *const window_;
    const int encrypt_;
    ui::SecureString &password_;
    unsigned passwordVersion_ = 0; // counts the follower's replacements
    BatchOutcome &outcome_;
    ui::TForm2 &progress_;
    const std::string prefix_;
    FinishOrder order_;
    std::unique_ptr<FileWorkers> workers_; // after order_: ended first
    size_t mostInFlight_ = 1, mostLarge_ = 1, largeInFlight_ = 0;
    std::deque<std::unique_ptr<Entry>> queue_;
    Entry *planning_ = nullptr;        // being planned, not yet in the queue
    bool finishing_ = false;           // the head's own boxes are being shown
    std::optional<size_t> cancelItem_; // the item of the file that cancelled the batch
};

FilesInFlight *InFlight = nullptr;

bool BeforeShowing() {
    return InFlight == nullptr || InFlight->BeforeShowing();
}

// Letter case folded: on a system that ignores it, "A.QXV" is "a.qxv".
std::string Folded(std::string name) {
    for (char &c : name)
        c = static_cast<char>(FoldCase(c));
    return name;
}

std::vector<std::string> NamesTouched(const std::string &path, bool encrypt) {
    const std::string output = encrypt ? EncryptedName(path) : DecryptedName(path);
    return {Folded(path), Folded(output), Folded(sfx_executable_path(path)),
            Folded(output + ".qxvpart")};
}

uint64_t SizeOf(const std::string &path) {
    const auto attributes = platform::file_system().attributes(path);
    return attributes ? attributes->size : 0;
}

FilesInFlight::FilesInFlight(void *window, int encrypt, ui::SecureString &password,
                             BatchOutcome &outcome, ui::TForm2 &progress)
    : window_(window), encrypt_(encrypt), password_(password), outcome_(outcome),
      progress_(progress), prefix_(encrypt ? "Encrypting file: " : "Decryption file: ") {
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t jobs = Batch.Jobs > 0 ? static_cast<size_t>(Batch.Jobs) : kMostInFlight;
    if (jobs > 1 && platform::file_system().concurrent()) {
        workers_ = std::make_unique<FileWorkers>(jobs);
        mostInFlight_ = jobs;
        mostLarge_ = Batch.Jobs > 0 ? jobs : std::min(cores, jobs);
    }
    InFlight = this;
}

FilesInFlight::~FilesInFlight() {
    InFlight = nullptr;
    // Normally empty by now; files still running are stopped and waited for.
    for (auto &entry : queue_)
        entry->progress.Stop();
    workers_.reset();
}

void FilesInFlight::Start(Entry &entry) {
    entry.started = true;
    progress_.FileName->Caption = prefix_ + entry.path;
    progress_.Update();
    if (BatchProgress *follower = CurrentBatchProgress()) follower->FileStarting(entry.path);
}

bool FilesInFlight::HasRoom(uint64_t size) const {
    return queue_.size() < mostInFlight_ && (size < kLargeFile || largeInFlight_ < mostLarge_);
}

bool FilesInFlight::Collides(const std::vector<std::string> &names) const {
    for (const auto &entry : queue_)
        for (const std::string &name : entry->names)
            if (std::find(names.begin(), names.end(), name) != names.end()) return true;
    return false;
}

void FilesInFlight::Launch(Entry &entry) {
    entry.password = password_;
    entry.passwordVersion = passwordVersion_;
    entry.names = NamesTouched(entry.path, encrypt_ != 0);
    if (!entry.plan.target.empty()) entry.names.push_back(Folded(entry.plan.target));
    if (!workers_) {
        entry.result =
            RunEngine(entry.plan, ui::View(entry.password), entry.plain, CurrentBatchProgress());
        ui::SecureWipe(entry.password);
        entry.finished.store(true);
        return;
    }
    entry.onWorker = true;
    if (entry.size >= kLargeFile) ++largeInFlight_;
    // An executable is built at the commit, which may fail: the files after wait for it.
    entry.number = order_.Launched(entry.plan.makeExe);
    entry.progress.Order(&order_, entry.number);
    Entry *const running = &entry;
    FinishOrder *const order = &order_;
    workers_->Run(
        [running, order] {
            running->result = RunEngine(running->plan, ui::View(running->password), running->plain,
                                        &running->progress);
            ui::SecureWipe(running->password);
            order->EngineDone(running->number, running->result == CRYPT_OK);
        },
        &entry.finished);
}

void FilesInFlight::Process(const std::string &path, bool last, bool named, size_t item) {
    const uint64_t size = SizeOf(path);
    const std::vector<std::string> names = NamesTouched(path, encrypt_ != 0);
    // A file whose names another file in flight may touch waits for it: the order of the
    // batch decides what each finds.
    while (!queue_.empty() && (!HasRoom(size) || Collides(names)))
        FinishHead();
    if (Batch.CancelRequested) return; // a file before it cancelled the batch
    auto entry = std::make_unique<Entry>(window_, encrypt_ != 0, path, last, named, item);
    entry->size = size;
    if (queue_.empty()) Start(*entry);
    planning_ = entry.get();
    entry->ended = PlanFile(entry->plan);
    planning_ = nullptr;
    if (Batch.CancelRequested) AbandonAfterHead(item); // its own box cancelled the batch
    if (!entry->ended) Launch(*entry);
    queue_.push_back(std::move(entry));
    while (!queue_.empty() && (queue_.front()->ended || queue_.front()->finished.load()))
        FinishHead();
}

void FilesInFlight::FinishAll() {
    while (!queue_.empty())
        FinishHead();
}

bool FilesInFlight::BeforeShowing() {
    if (finishing_) return true;
    FinishAll();
    if (planning_ && planning_->abandoned) return false;
    if (planning_ && !planning_->started) Start(*planning_);
    return true;
}

// Waits for the head's engine, keeping the progress window alive and passing its bytes to the
// follower, which may stop it (Ctrl-C twice on the command line).
void FilesInFlight::Wait(Entry &entry) {
    if (!entry.onWorker) return;
    BatchProgress *const follower = CurrentBatchProgress();
    for (;;) {
        const bool done = workers_->WaitFor(entry.finished, std::chrono::milliseconds(50));
        if (follower && !follower->advance(entry.progress.Done(), entry.progress.Total()))
            entry.progress.Stop();
        if (done) return;
        ui::ProcessMessages();
        if (Batch.CancelRequested) AbandonAfterHead(entry.item);
    }
}

void FilesInFlight::FinishHead() {
    std::unique_ptr<Entry> entry = std::move(queue_.front());
    queue_.pop_front();
    if (!entry->started && !entry->abandoned) Start(*entry);
    Wait(*entry);
    if (entry->onWorker && entry->size >= kLargeFile) --largeInFlight_;
    // The files after it may finish once it is reported, unless it cancelled the batch.
    struct Reporting {
        FinishOrder &order;
        const Entry &entry;
        ~Reporting() {
            if (entry.onWorker) order.Reported(entry.number);
        }
    } reporting{order_, *entry};
    // A file stopped because the batch was cancelled, or one that never ran, is as it was:
    // as if the batch had ended before it; so is one decrypted meanwhile, its output dropped.
    if (entry->abandoned && !entry->ended && entry->result == CRYPT_OK && !entry->plan.encrypt)
        entry->plain.remove_at(entry->plan.target);
    if (entry->abandoned && (entry->ended || entry->result != CRYPT_OK || !entry->plan.encrypt))
        return;
    if (!entry->started) { // it finished although the batch was cancelled meanwhile
        Start(*entry);
        if (BatchProgress *follower = CurrentBatchProgress())
            follower->advance(entry->progress.Done(), entry->progress.Total());
    }
    const bool wasFinishing = finishing_;
    finishing_ = true;
    FileOutcome file = FileOutcome::Skipped;
    if (entry->ended) {
        file = *entry->ended;
    } else {
        int result = entry->result;
        // It ran with a password the follower has replaced since: once more with the new one.
        if (result == CRYPT_ERR_PASSWORD && entry->passwordVersion != passwordVersion_)
            result =
                RunEngine(entry->plan, ui::View(password_), entry->plain, CurrentBatchProgress());
        file = AfterEngine(entry->plan, result, password_, entry->plain, &passwordVersion_);
    }
    finishing_ = wasFinishing;
    if (BatchProgress *follower = CurrentBatchProgress()) follower->FileEnded(file);
    Count(outcome_, file);
    ui::ProcessMessages();
    progress_.ProgressBar1->StepIt();
    if (Batch.CancelRequested) AbandonAfterHead(entry->item);
}

// The batch is cancelled: the files after the current one stop where they are.
void FilesInFlight::AbandonAfterHead(size_t item) {
    if (!cancelItem_) cancelItem_ = item;
    if (planning_) planning_->abandoned = true;
    bool stopped = false;
    for (auto &entry : queue_) {
        entry->abandoned = true;
        entry->progress.Stop();
        if (entry->onWorker && !stopped) {
            order_.Stop(entry->number);
            stopped = true;
        }
    }
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
        FilesInFlight files(window, encrypt, password, outcome, progress);
        bool cancelShown = false;
        for (size_t i = 0; i < count; ++i) {
            std::string path = GetSelectionPath(i);
            if (Batch.CancelRequested == 1) {
                Ask(window, "Action cancelled", "Advisory", ui::mbOK);
                cancelShown = true;
                break;
            }
            const bool lastItem = i + 1 == count;
            if (IsFolderItem(path)) {
                path = WithoutTrailingSeparator(path);
                std::vector<std::string> found;
                FolderProblems problems;
                CollectFolderFiles(path, found, &problems);
                for (const std::string &other : problems.others) {
                    Tell(other, "not a regular file, skipped");
                    ++outcome.skipped;
                }
                // A folder left unread leaves its files plain: a failure, and the rest goes on.
                for (size_t j = 0; j < problems.unlisted.size() && !Batch.CancelRequested; ++j) {
                    const bool last =
                        lastItem && found.empty() && j + 1 == problems.unlisted.size();
                    Count(outcome,
                          ReportFailure(
                              window,
                              {FailureBox("Cannot list folder: " + problems.unlisted[j] + ".",
                                          "Cannot open folder", last)},
                              last));
                }
                progress.ProgressBar1->Max += static_cast<int>(found.size());
                for (size_t j = 0; j < found.size() && !Batch.CancelRequested; ++j)
                    files.Process(found[j], lastItem && j + 1 == found.size(), false, i);
            } else {
                files.Process(path, lastItem, true, i);
            }
        }
        files.FinishAll();
        // Files of later items were in flight when an earlier one cancelled the batch.
        if (!cancelShown && files.CancelledBefore(count - 1))
            Ask(window, "Action cancelled", "Advisory", ui::mbOK);
        progress.Hide();
    }
    ui::SecureWipe(password);
    if (Batch.CancelRequested == 1) outcome.cancelled = true;
    return outcome;
}
