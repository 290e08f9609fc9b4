// The batch's replace flows under failing file operations: encryption then the rename to the
// container's name (with and without an output the user agreed to replace), decryption then the
// container's deletion (kept or not, over an old plain file or not), and the self-decrypting
// build. Whatever fails, once or from then on: the user's data is whole under a name the flow
// promises (the plain file as it was, or a complete container or executable of it), no partial
// output remains, and a failure was reported in a box.
#include "tests/shell/batch_test_fixture.h"

#include "container/container_probe.h"
#include "container/journal.h"
#include "container/sfx_build.h"
#include "shell/output_names.h"
#include "tests/support/fault_sweep.h"

#include <cstdio>
#include <filesystem>

namespace qxv_test {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string OLD_TEXT = "the old file of that name";

// Encryption keeps a journal from which an interrupted run is finished. Until the engine has
// one, a device that stays broken can leave a file the engine could not put back; such runs
// are counted and named at the end instead of failing.
#if __has_include("container/journal.h")
constexpr bool JOURNAL = true;
#else
constexpr bool JOURNAL = false;
#endif

// Runs in which the engine could not put the file back (tallied, printed once at the end):
// finished from the journal, or, without a journal, left as they are.
struct JournalRuns {
    int recovered = 0, awaiting = 0;
    ~JournalRuns() {
        if (recovered > 0) std::printf("journal: %d runs finished from the journal\n", recovered);
        if (awaiting > 0)
            std::printf("AWAITING JOURNAL: %d runs left a file the engine could not put back\n",
                        awaiting);
    }
} journal_runs;

class ReplaceFlowFaults : public BatchTest {
protected:
    ReplaceFlowFaults() : faults(world) {
        platform::set_file_system(&faults);
        const std::string stub = folder.file("bin") + PathSeparator() + SFX_STUB_FILE_NAME;
        std::filesystem::create_directories(folder.file("bin"));
        write_all(stub, stub_bytes);
        world.modulePath = folder.file("bin") + PathSeparator() + "quillomar";
        const std::string made = Container("made", std::string(original.begin(), original.end()));
        container_bytes = read_all(made);
        std::filesystem::remove(made);
    }

    // Empties the folder but for the stub, then lays out `files` (name, bytes).
    void Lay(const std::vector<std::pair<std::string, Bytes>> &files) {
        for (const auto &name : Names())
            std::filesystem::remove(folder.file(name));
        for (const auto &[name, bytes] : files)
            write_all(folder.file(name), bytes);
        ui.MessageBoxes.clear();
        ui.Errors.clear();
    }

    // The folder's files, the stub's folder left out.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &name : Files())
            if (name.rfind("bin/", 0) != 0) names.push_back(name);
        return names;
    }

    bool Has(const std::string &name) const { return std::filesystem::exists(folder.file(name)); }
    Bytes Content(const std::string &name) const { return read_all(folder.file(name)); }

    // A complete container of the original: it decrypts to it.
    bool IsContainer(const Bytes &bytes) {
        const std::string probe = folder.file("bin") + PathSeparator() + "probe.qxv";
        const std::string out = folder.file("bin") + PathSeparator() + "probe.out";
        write_all(probe, bytes);
        const bool decrypts =
            container_crypt_file(probe.c_str(), out.c_str(), kPassword, 'C') == CRYPT_OK &&
            read_all(out) == original;
        std::filesystem::remove(probe);
        std::filesystem::remove(out);
        return decrypts;
    }
    bool IsContainerOrPlain(const Bytes &bytes) { return bytes == original || IsContainer(bytes); }
    bool IsExecutable(const Bytes &bytes) {
        return bytes.size() > stub_bytes.size() &&
               std::equal(stub_bytes.begin(), stub_bytes.end(), bytes.begin()) &&
               IsContainer(Bytes(bytes.begin() + stub_bytes.size(), bytes.end()));
    }

    // A box other than the question about replacing a file.
    bool FailureReported() const {
        for (const auto &box : ui.MessageBoxes)
            if (box.caption != "File Exist" && box.caption != "EXE file Exist") return true;
        return false;
    }

    // An encryption interrupted for good leaves its journal beside the file; the next
    // encryption with faults gone must finish it. Returns true when there was one.
    bool RecoverJournal(const std::string &name) {
        if (!JOURNAL && !IsContainerOrPlain(Content(name))) {
            ++journal_runs.awaiting; // marked: no journal to finish it with yet
            FaultTally::instance().not_survived();
            return true;
        }
        if (!Has(name + ".qxvj")) return false;
        if (!Has(name)) { // the container took its name: the journal is a finished one
            DropFinishedJournal(true);
            return false;
        }
        ++journal_runs.recovered;
        EXPECT_EQ(container_crypt_file(folder.file(name).c_str(), nullptr, kPassword, 'A'),
                  CRYPT_OK);
        EXPECT_FALSE(Has(name + ".qxvj"));
        EXPECT_TRUE(IsContainer(Content(name))) << "the journal recovered the container";
        return true;
    }

    // A journal whose container took its name and whose deletion alone failed stays, finished:
    // it must never pass for an interrupted encryption of a plain file put under the name.
    void DropFinishedJournal(bool fired) {
        if (!Has("doc.qxvj")) return;
        EXPECT_TRUE(fired && faults.armed_op() == Op::Remove);
        EXPECT_FALSE(journal_unfinished(folder.file("doc"), original.size()));
        std::filesystem::remove(folder.file("doc.qxvj"));
    }

    void ProcessDoc(int encrypt) {
        const std::string doc = folder.file(encrypt ? "doc" : "doc.qxv");
        ProcessFile(nullptr, encrypt, kPassword, doc, true);
        if (!ui.ScriptDone()) {
            // The answer to a question never asked: only a file skipped without a word.
            EXPECT_TRUE(ui.MessageBoxes.empty());
            ui.RunMessageBox(nullptr, "", "", ui::mbOK);
            ui.MessageBoxes.clear();
        }
        ui.Errors.clear(); // failure boxes are not scripted; they are checked by the test
    }

    // Ends the run: the files left must be exactly `names`.
    void ExpectNames(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        EXPECT_EQ(Names(), names) << "no partial output, nothing lost";
    }

    FaultFileSystem faults;
    const Bytes original = pattern(2 * 16384 + 1000, 7);
    const Bytes stub_bytes = pattern(3000, 9);
    const Bytes old_bytes = Bytes(OLD_TEXT.begin(), OLD_TEXT.end());
    Bytes container_bytes;
};

TEST_F(ReplaceFlowFaults, EncryptionThenRename) {
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "over an old output" : "to a free name");
        sweep(
            faults, replace_flow_injections(),
            [&] {
                Lay({{"doc", original}});
                if (replace) {
                    write_all(folder.file("doc.qxv"), old_bytes);
                    ui.Answer(ui::idYes);
                }
            },
            [&] { ProcessDoc(1); },
            [&](bool fired) {
                if (!FailureReported()) {
                    DropFinishedJournal(fired);
                    ExpectNames({"doc.qxv"});
                    EXPECT_TRUE(IsContainer(Content("doc.qxv")));
                    return;
                }
                EXPECT_TRUE(fired);
                if (RecoverJournal("doc")) return;
                // Without a journal, the file as it was; an old output stays unless its
                // replacement was whole.
                EXPECT_EQ(Content("doc"), original);
                if (replace && Has("doc.qxv")) {
                    EXPECT_EQ(Content("doc.qxv"), old_bytes);
                    ExpectNames({"doc", "doc.qxv"});
                } else {
                    ExpectNames({"doc"});
                }
            });
    }
}

TEST_F(ReplaceFlowFaults, DecryptionThenDeletion) {
    for (bool keep : {false, true})
        for (bool replace : {false, true}) {
            SCOPED_TRACE(std::string(keep ? "kept" : "deleted") +
                         (replace ? ", over an old plain file" : ""));
            ui::Batch.KeepEncryptedFile = keep;
            sweep(
                faults, replace_flow_injections(),
                [&] {
                    Lay({{"doc.qxv", container_bytes}});
                    if (replace) {
                        write_all(folder.file("doc"), old_bytes);
                        ui.Answer(ui::idYes);
                    }
                },
                [&] { ProcessDoc(0); },
                [&](bool fired) {
                    // The container is never changed; it goes only after a whole decryption.
                    if (Has("doc.qxv")) {
                        EXPECT_EQ(Content("doc.qxv"), container_bytes);
                    }
                    // A short read looks like the end of the file: the probe then finds no
                    // container, and the file is skipped untouched.
                    const bool untouched =
                        replace ? Names() == std::vector<std::string>{"doc", "doc.qxv"} &&
                                      Content("doc") == old_bytes
                                : Names() == std::vector<std::string>{"doc.qxv"};
                    if (!FailureReported() && untouched && fired &&
                        faults.fault() == Fault::Short && faults.armed_op() == Op::Read)
                        return;
                    if (!FailureReported()) {
                        EXPECT_EQ(Content("doc"), original);
                        // A delete that failed keeps a whole container: it is not reported.
                        if (keep || (fired && faults.armed_op() == Op::Remove))
                            ExpectNames({"doc", "doc.qxv"});
                        else
                            ExpectNames({"doc"});
                        return;
                    }
                    EXPECT_TRUE(fired);
                    // Where nothing can be deleted any more, the new plain file stays whole
                    // beside the old one, which could not be given up.
                    if (Has("doc.qxvpart")) {
                        EXPECT_TRUE(replace && faults.armed_op() == Op::Remove);
                        EXPECT_EQ(Content("doc.qxvpart"), original);
                        std::filesystem::remove(folder.file("doc.qxvpart"));
                    }
                    // The old plain file stays unless the new one was whole; never a part.
                    if (Has("doc")) {
                        EXPECT_EQ(Content("doc"), replace ? old_bytes : original);
                        ExpectNames({"doc", "doc.qxv"});
                    } else {
                        ExpectNames({"doc.qxv"});
                    }
                });
        }
}

TEST_F(ReplaceFlowFaults, SelfDecryptingBuild) {
    ui::Batch.MakeExeFile = 1;
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "over an old executable" : "to a free name");
        sweep(
            faults, replace_flow_injections(),
            [&] {
                Lay({{"doc", original}});
                if (replace) {
                    write_all(folder.file("doc.exe"), old_bytes);
                    ui.Answer(ui::idYes);
                }
            },
            [&] { ProcessDoc(1); },
            [&](bool fired) {
                if (Has("doc.exe") && Content("doc.exe") != old_bytes) {
                    EXPECT_TRUE(IsExecutable(Content("doc.exe")));
                }
                if (!FailureReported()) {
                    DropFinishedJournal(fired);
                    // A container whose delete failed stays whole beside the executable.
                    if (Has("doc.qxv")) {
                        EXPECT_TRUE(fired);
                        EXPECT_TRUE(IsContainer(Content("doc.qxv")));
                        ExpectNames({"doc.exe", "doc.qxv"});
                    } else {
                        ExpectNames({"doc.exe"});
                    }
                    EXPECT_TRUE(IsExecutable(Content("doc.exe")));
                    return;
                }
                EXPECT_TRUE(fired);
                if (RecoverJournal("doc")) return;
                // Where nothing can be deleted any more, the new executable stays whole beside
                // the old one, which could not be given up.
                if (Has("doc.exe.part")) {
                    EXPECT_TRUE(replace && faults.armed_op() == Op::Remove);
                    EXPECT_TRUE(IsExecutable(Content("doc.exe.part")));
                    std::filesystem::remove(folder.file("doc.exe.part"));
                }
                std::vector<std::string> expected;
                for (const char *name : {"doc", "doc.qxv", "doc.exe"})
                    if (Has(name)) expected.push_back(name);
                ExpectNames(expected);
                // The data is in the plain file or a container beside the (old) executable.
                if (Has("doc")) {
                    EXPECT_TRUE(IsContainerOrPlain(Content("doc")));
                    EXPECT_FALSE(Has("doc.qxv"));
                } else {
                    ASSERT_TRUE(Has("doc.qxv"));
                    EXPECT_TRUE(IsContainer(Content("doc.qxv")));
                }
                if (!replace) {
                    EXPECT_FALSE(Has("doc.exe")) << "the build failed: no executable";
                }
            });
    }
}

// A file put under the name between the engine and the delete or rename is never touched: the
// swap happens inside the file system, just before the call, as another program might do it.
class SwappedFile : public ReplaceFlowFaults {
protected:
    // Before the first call of `op` once the engine is done (a delete: its journal gone; a
    // rename: the container's own, made while its journal exists): the file at `name` moves
    // to "moved", an intruder takes the name.
    void SwapBefore(Op op, const std::string &name) {
        faults.set_hook([this, op, name, done = false](Op called, int) mutable {
            if (done || called != op || Has("doc.qxvj") != (op == Op::Rename)) return;
            done = true;
            std::filesystem::rename(folder.file(name), folder.file("moved"));
            write_all(folder.file(name), intruder);
        });
        faults.arm(op, 0);
    }
    void ExpectFailureBoxes(const std::string &output, const std::string &source) {
        std::vector<std::string> failures;
        for (const auto &box : ui.MessageBoxes)
            if (box.caption != "File Exist" && box.caption != "EXE file Exist")
                failures.push_back(box.caption + ": " + box.text);
        EXPECT_EQ(failures,
                  (std::vector<std::string>{
                      "Cannot write file: Cannot write file: " + folder.file(output) + ".",
                      "Cannot Process File: Cannot process file: " + folder.file(source) + "."}));
    }
    const Bytes intruder = Bytes{'i', 'n', 't', 'r', 'u', 'd', 'e', 'r'};
};

TEST_F(SwappedFile, EncryptedFileIsRenamedOnlyIfStillItself) {
    Lay({{"doc", original}});
    SwapBefore(Op::Rename, "doc");
    ProcessDoc(1);
    ExpectFailureBoxes("doc.qxv", "doc");
    // The encrypted file, moved away, cannot be put back: its journal stays, finished.
    ExpectNames({"doc", "doc.qxvj", "moved"});
    EXPECT_EQ(Content("doc"), intruder);
    EXPECT_TRUE(IsContainer(Content("moved")));
    EXPECT_FALSE(container_probe_interrupted(folder.file("doc").c_str()));
}

TEST_F(SwappedFile, ContainerIsDeletedAfterDecryptionOnlyIfStillItself) {
    Lay({{"doc.qxv", container_bytes}});
    SwapBefore(Op::Remove, "doc.qxv");
    ProcessDoc(0);
    EXPECT_TRUE(ui.MessageBoxes.empty()) << "a delete refused is not reported";
    ExpectNames({"doc", "doc.qxv", "moved"});
    EXPECT_EQ(Content("doc"), original);
    EXPECT_EQ(Content("doc.qxv"), intruder);
}

TEST_F(SwappedFile, OnlyTheOutputTheUserAgreedToReplaceIsReplaced) {
    // The old plain file, then the old executable, swapped when it is about to be deleted.
    Lay({{"doc.qxv", container_bytes}, {"doc", old_bytes}});
    ui.Answer(ui::idYes);
    SwapBefore(Op::Remove, "doc");
    ProcessDoc(0);
    ExpectFailureBoxes("doc", "doc.qxv");
    ExpectNames({"doc", "doc.qxv", "moved"});
    EXPECT_EQ(Content("doc"), intruder);
    EXPECT_EQ(Content("doc.qxv"), container_bytes);

    ui::Batch.MakeExeFile = 1;
    Lay({{"doc", original}, {"doc.exe", old_bytes}});
    ui.Answer(ui::idYes);
    SwapBefore(Op::Remove, "doc.exe");
    ProcessDoc(1);
    ASSERT_EQ(ui.MessageBoxes.size(), 2u);
    EXPECT_EQ(ui.MessageBoxes[1].text, "Cannot write file: " + folder.file("doc.exe") + ".");
    ExpectNames({"doc.exe", "doc.qxv", "moved"});
    EXPECT_EQ(Content("doc.exe"), intruder);
    EXPECT_TRUE(IsContainer(Content("doc.qxv"))) << "kept, since no executable was made";
}

TEST_F(SwappedFile, ContainerIsDeletedAfterTheBuildOnlyIfStillItself) {
    ui::Batch.MakeExeFile = 1;
    Lay({{"doc", original}});
    SwapBefore(Op::Remove, "doc.qxv");
    ProcessDoc(1);
    EXPECT_TRUE(ui.MessageBoxes.empty());
    ExpectNames({"doc.exe", "doc.qxv", "moved"});
    EXPECT_TRUE(IsExecutable(Content("doc.exe")));
    EXPECT_EQ(Content("doc.qxv"), intruder);
}

} // namespace
} // namespace qxv_test
