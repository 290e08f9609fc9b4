// A file whose encryption was cut short, with its journal beside it: decrypting it explains what
// to do, encrypting it again finishes it (even when only the journal was left to delete), and a
// folder command leaves journals to the files they belong to.
#include "tests/shell/batch_test_fixture.h"

#include "container/container_probe.h"
#include "container/journal.h"
#include "shell/output_names.h"
#include "tests/support/interrupted_encryption.h"

#include <filesystem>

namespace qxv_test {
namespace {

#ifndef _WIN32
const std::vector<uint8_t> ORIGINAL = pattern(3 * 16384 + 100);

std::vector<uint8_t> Decrypted(const std::string &container) {
    const std::string out = container + ".check";
    EXPECT_EQ(container_crypt_file(container.c_str(), out.c_str(), kPassword, 'C'), CRYPT_OK);
    auto bytes = read_all(out);
    std::filesystem::remove(out);
    return bytes;
}

TEST_F(BatchTest, DecryptingAnInterruptedFileSaysHowToFinishIt) {
    const std::string a = folder.file("a");
    // Writes: the journal's header, the data record into the journal (its bytes, its header and
    // the copy), then into the file.
    const Interrupted cut = interrupt_encryption(a, ORIGINAL, Op::Write, 5, kPassword);
    Select({a});
    Accept().Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{
                           "Interrupted encryption: Encryption of file: " + a +
                           " was interrupted. Encrypt it again with the same password to "
                           "finish it."}));
    EXPECT_EQ(read_all(a), cut.file);
    EXPECT_EQ(read_all(journal_path(a)), cut.journal);
    EXPECT_FALSE(outcome.Succeeded());
}

TEST_F(BatchTest, EncryptingAnInterruptedFileAgainFinishesIt) {
    // Cut before the first record reached the file, and after the last one when only the
    // journal was left to delete (the file is then a whole container under its plain name).
    for (const auto &[op, nth] : {std::pair{Op::Write, 5}, std::pair{Op::Remove, 1}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(op)) + " #" + std::to_string(nth));
        const std::string a = folder.file("a");
        interrupt_encryption(a, ORIGINAL, op, nth, kPassword);
        Select({a});
        Accept();
        ProcessSelection(nullptr, 1);
        EXPECT_TRUE(ui.MessageBoxes.empty());
        EXPECT_EQ(Files(), (std::vector<std::string>{"a.qxv"}));
        EXPECT_EQ(Decrypted(a + ".qxv"), ORIGINAL);
        std::filesystem::remove(a + ".qxv");
    }
}

TEST_F(BatchTest, FolderCommandsLeaveJournalsToTheirFiles) {
    std::filesystem::create_directories(folder.file("f"));
    const std::string x = folder.file("f") + PathSeparator() + "x";
    interrupt_encryption(x, ORIGINAL, Op::Write, 5, kPassword);
    Write("f/y", "plain");
    Write("f/z.QXVJ", "not a journal of ours, but named like one");
    Select({folder.file("f")});
    Accept();
    ProcessSelection(nullptr, 1);
    EXPECT_TRUE(ui.MessageBoxes.empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"f/x.qxv", "f/y.qxv", "f/z.QXVJ"}));
    EXPECT_EQ(Decrypted(x + ".qxv"), ORIGINAL);
}
#endif

TEST(ProbeJournalName, JournalNames) {
    EXPECT_TRUE(container_probe_journal_name("a.txt.qxvj"));
    EXPECT_TRUE(container_probe_journal_name("a.QxVj"));
    EXPECT_FALSE(
        container_probe_journal_name(".qxvj")); // a hidden name, not a journal beside a file
    EXPECT_FALSE(container_probe_journal_name("a.qxv"));
    EXPECT_FALSE(container_probe_journal_name("a.qxvjx"));
}

} // namespace
} // namespace qxv_test
