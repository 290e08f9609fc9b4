// The stub's main flow with a scripted dialog and a file system that fails on request: every
// failure ends in its one message, and no failure leaves a file behind or spoils one the person
// agreed to replace.
#include "stub/stub_flow.h"

#include "stub/stub_messages.h"
#include "tests/stub/stub_test_support.h"
#include "tests/support/fault_file_system.h"

#include <gtest/gtest.h>

using namespace stub_test;
using qxv_test::Fault;
using qxv_test::FaultFileSystem;
using qxv_test::Op;
using qxv_test::ScopedFileSystem;

namespace {

// Answers the dialog as told and records what the stub shows.
class ScriptedDialog final : public StubDialog {
public:
    bool cancel = false;
    std::string password;
    std::string output;
    bool can_open = false;

    std::string proposed;
    std::vector<std::string> messages;
    std::vector<std::string> opened;

    bool ask_password_and_output(const std::string &proposed_name, platform::SecureString &typed,
                                 std::string &output_path) override {
        proposed = proposed_name;
        if (cancel) return false;
        typed.assign(password.data(), password.size());
        output_path = output.empty() ? proposed_name : output;
        return true;
    }
    void show_message(const char *text) override { messages.push_back(text); }
    bool open_with_associated_program(const std::string &path) override {
        opened.push_back(path);
        return can_open;
    }
};

size_t entries_in(const ScratchFolder &folder) {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(folder.path()), {}));
}

class StubFlow : public ::testing::Test {
protected:
    ScratchFolder folder;
    ScriptedDialog dialog;
    std::filesystem::path input = folder / "report.doc.qxv";

    void SetUp() override {
        std::filesystem::copy_file(data_file("aes_chunks.qxv"), input);
        dialog.password = "correct horse battery";
    }
};

} // namespace

TEST_F(StubFlow, DecryptsAndOpensTheResult) {
    dialog.can_open = true;
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Decrypted);
    EXPECT_EQ(dialog.proposed, (folder / "report.doc").string());
    EXPECT_TRUE(dialog.messages.empty());
    ASSERT_EQ(dialog.opened.size(), 1u);
    EXPECT_EQ(dialog.opened[0], (folder / "report.doc").string());
    EXPECT_EQ(read_bytes(folder / "report.doc"), read_bytes(data_file("aes_chunks.plain")));
}

TEST_F(StubFlow, TheDialogEndsTheRunWithoutAFile) {
    dialog.cancel = true;
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Cancelled);
    EXPECT_TRUE(dialog.messages.empty());

    dialog.cancel = false;
    dialog.password.clear();
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Failed);
    EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_EMPTY_PASSWORD});
    EXPECT_EQ(entries_in(folder), 1u);
    EXPECT_TRUE(dialog.opened.empty());
}

TEST_F(StubFlow, AWrongPasswordIsFoundBeforeAnyFileIsCreated) {
    FaultFileSystem files;
    ScopedFileSystem scope(files);
    dialog.password = "correct horse battery staple";
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Failed);
    EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_WRONG_PASSWORD});
    EXPECT_EQ(files.count(Op::Open), 1); // the input only
    EXPECT_EQ(files.count(Op::Write), 0);
}

TEST_F(StubFlow, EveryFailedOrShortWriteIsAFileErrorAndLeavesTheOldFile) {
    const std::filesystem::path output = folder / "report.doc";
    for (Fault fault : {Fault::Fail, Fault::Short}) {
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(nth);
            write_bytes(output, {'o', 'l', 'd'});
            FaultFileSystem files;
            ScopedFileSystem scope(files);
            files.arm(Op::Write, nth, fault);
            dialog.messages.clear();
            StubOutcome outcome = qxvsd_run(input.string(), dialog);
            if (!files.fired()) {
                EXPECT_EQ(outcome, StubOutcome::Decrypted);
                EXPECT_GE(nth, 3); // two chunks, the rest, the final block's bytes
                break;
            }
            EXPECT_EQ(outcome, StubOutcome::Failed);
            EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_FILE_ERROR});
            EXPECT_EQ(read_bytes(output), (Bytes{'o', 'l', 'd'}));
            EXPECT_EQ(entries_in(folder), 2u); // the input and the old file, nothing partial
        }
    }
    EXPECT_EQ(read_bytes(output), read_bytes(data_file("aes_chunks.plain")));
}

TEST_F(StubFlow, EveryFailedReadEndsInAMessageAndNoFile) {
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE(nth);
        FaultFileSystem files;
        ScopedFileSystem scope(files);
        files.arm(Op::Read, nth);
        dialog.messages.clear();
        StubOutcome outcome = qxvsd_run(input.string(), dialog);
        if (!files.fired()) {
            EXPECT_EQ(outcome, StubOutcome::Decrypted);
            break;
        }
        EXPECT_EQ(outcome, StubOutcome::Failed);
        EXPECT_EQ(dialog.messages.size(), 1u);
        EXPECT_EQ(entries_in(folder), 1u);
    }
}

TEST_F(StubFlow, AnOutputThatCannotBeCreatedIsNamed) {
    FaultFileSystem files;
    ScopedFileSystem scope(files);
    files.arm(Op::Open, 2); // the first open is the input's
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Failed);
    EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_CANNOT_CREATE});
    EXPECT_EQ(entries_in(folder), 1u);
}

TEST_F(StubFlow, AResultWithoutAssociatedProgramIsKept) {
    dialog.output = (folder / "plain.unknown-type").string();
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Decrypted);
    EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_TYPE_UNKNOWN});
    EXPECT_EQ(read_bytes(dialog.output), read_bytes(data_file("aes_chunks.plain")));
}

// Another file put under the chosen name after the person agreed to replace the old one is
// never deleted or replaced.
TEST_F(StubFlow, OnlyTheFileThePersonAgreedToReplaceIsReplaced) {
    const std::filesystem::path output = folder / "report.doc";
    write_bytes(output, {'o', 'l', 'd'});
    FaultFileSystem files;
    ScopedFileSystem scope(files);
    files.set_hook([&](Op op, int n) {
        if (op != Op::Remove || n != 1) return;
        std::filesystem::rename(output, folder / "moved");
        write_bytes(output, {'n', 'e', 'w'});
    });
    EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Failed);
    EXPECT_EQ(dialog.messages, std::vector<std::string>{STUB_MSG_CANNOT_CREATE});
    EXPECT_EQ(read_bytes(output), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(read_bytes(folder / "moved"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(entries_in(folder), 3u) << "no partial file";
}

// What a stub killed while decrypting left (plain text under the partial name) is removed by
// the next run; a larger file there is not one it could have written, and stays.
TEST_F(StubFlow, APartialFileOfAKilledRunIsRemovedAndOnlyThat) {
    const auto partial = folder / "report.doc.partial";
    const auto plain = read_bytes(data_file("aes_chunks.plain"));
    for (const bool stale : {true, false}) {
        SCOPED_TRACE(stale ? "stale" : "larger than the container");
        std::filesystem::remove(folder / "report.doc");
        const std::vector<uint8_t> left(stale ? plain.size() / 2 : plain.size() + 4096, 'p');
        write_bytes(partial, left);
        EXPECT_EQ(qxvsd_run(input.string(), dialog), StubOutcome::Decrypted);
        EXPECT_EQ(read_bytes(folder / "report.doc"), plain);
        EXPECT_EQ(std::filesystem::exists(partial), !stale);
        EXPECT_EQ(entries_in(folder), stale ? 2u : 3u);
    }
}
