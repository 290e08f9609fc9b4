#include "tests/shell/batch_test_fixture.h"

#include "container/container_probe.h"
#include "container/sfx_build.h"
#include "shell/batch_messages.h"
#include "shell/output_names.h"
#include "ui/Qxvprogress.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace qxv_test {
namespace {

using ui::TForm1;
using ui::TForm2;

TEST(OutputNames, ContainerAndPlainNames) {
    const std::string s(1, PathSeparator());
    EXPECT_EQ(EncryptedName("a" + s + "notes.txt"), "a" + s + "notes.txt.qxv");
    EXPECT_EQ(DecryptedName("a" + s + "report.doc.qxv"), "a" + s + "report.doc");
    EXPECT_EQ(DecryptedName("REPORT.DOC.QXV"), "REPORT.DOC");
    EXPECT_EQ(DecryptedName("x.QxV"), "x");
    EXPECT_EQ(DecryptedName("mail.bin"), "mail.bin.dec");
    EXPECT_EQ(DecryptedName("x.qxvs"), "x.qxvs.dec");
    EXPECT_EQ(DecryptedName("dir.qxv" + s + "mail"), "dir.qxv" + s + "mail.dec");
    EXPECT_EQ(DecryptedName("dir" + s + ".qxv"), "dir" + s + ".qxv.dec");
}

TEST(OutputNames, InformationLine) {
    const std::string s(1, PathSeparator());
    EXPECT_EQ(InformationText(true, 3, "", false), "Encrypting 3 files.");
    EXPECT_EQ(InformationText(false, 1, s + "home" + s + "notes.txt.qxv", false),
              "Decrypting file: notes.txt.qxv");
    EXPECT_EQ(InformationText(true, 1, "notes.txt", false), "Encrypting file: notes.txt");
    EXPECT_EQ(InformationText(true, 1, s + "docs" + s, true),
              "Encrypting directory: " + s + "docs");
    EXPECT_EQ(InformationText(false, 0, "", false), "Decrypting ");
}

// Every engine result becomes its boxes, in order: a notice with OK for some, then the failure
// box that asks whether to go on (or, on the last file, offers OK and stops the batch).
TEST(EngineResultBoxes, EveryResultInOrder) {
    const auto shown = [](int result, bool last) {
        std::vector<std::string> out;
        for (const BatchBox &box : EngineResultBoxes(result, "in", "out", last))
            out.push_back(box.caption + ": " + box.text +
                          (box.buttons == ui::mbOKCancel ? " [OK Cancel]" : " [OK]") +
                          (box.stops ? " stops" : ""));
        return out;
    };
    const std::string process = "Cannot Process File: Cannot process file: in.";
    const std::string more = " Continue with the next file? [OK Cancel] stops";
    const struct {
        int result;
        bool last;
        std::vector<std::string> boxes;
    } cases[] = {
        {CRYPT_OK, false, {}},
        {CRYPT_ERR_FILE,
         false,
         {"Cannot write file: Cannot write file: out. [OK]", process + more}},
        {CRYPT_ERR_DISK_FULL,
         true,
         {"Out of Disk space: Cannot write file: out. Out of Disk Space. [OK]",
          process + " [OK] stops"}},
        {CRYPT_ERR_RANDOM,
         false,
         {"No random salt: Cannot encrypt file: in. The system's random source failed. [OK]",
          process + more}},
        {CRYPT_ERR_PASSWORD,
         false,
         {"Invalid Password: Invalid password used for file: in." + more}},
        {CRYPT_ERR_PASSWORD,
         true,
         {"Invalid Password: Invalid password used for file: in. [OK] stops"}},
        {CRYPT_ERR_FORMAT, false, {process + more}},
        {99, true, {process + " [OK] stops"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shown(c.result, c.last), c.boxes) << c.result << (c.last ? " last" : "");
}

TEST_F(BatchTest, CancelledDialogTouchesNothingAndShowsNoProgress) {
    const std::string a = Write("a", "plain");
    Select({a});
    std::string information;
    ui.Modal<TForm1>([&](TForm1 &f) {
        information = f.lbInformation->Caption;
        f.UserType("ebPassword", kPassword);
        f.UserClick("bntCancel");
    });
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    EXPECT_EQ(information, "Encrypting file: a");
    EXPECT_EQ(ui.Log, std::vector<std::string>{"modal Form1"});
    EXPECT_EQ(Files(), std::vector<std::string>{"a"});
    EXPECT_TRUE(outcome.cancelled);
}

TEST_F(BatchTest, OneFolderHidesTheExeOption) {
    Write("d/x", "1");
    Select({folder.file("d") + PathSeparator()});
    ui.Modal<TForm1>([&](TForm1 &f) {
        EXPECT_EQ(f.lbInformation->Caption, "Encrypting directory: " + folder.file("d"));
        EXPECT_FALSE(f.cbxCreate->Visible);
        f.UserClick("bntCancel");
    });
    ProcessSelection(nullptr, 1);
}

TEST_F(BatchTest, ProgressCountsItemsPlusFolderFilesAndStepsForSkippedOnes) {
    const std::string container = Container("c.qxv", "x");
    const std::string plain = Write("p", "plain");
    Write("d/1", "one");
    Write("d/2", "two");
    Select({container, plain, folder.file("d")});
    std::vector<std::string> seen;
    auto record = [&] {
        auto *progress = static_cast<TForm2 *>(ui.Modeless().at(0));
        seen.push_back(progress->FileName->Caption + " " +
                       std::to_string(progress->ProgressBar1->Position) + "/" +
                       std::to_string(progress->ProgressBar1->Max));
    };
    Accept()
        .AtProcessMessages(record)
        .AtProcessMessages(record)
        .AtProcessMessages(record)
        .AtProcessMessages(record);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    const std::string d = folder.file("d") + PathSeparator();
    EXPECT_EQ(seen, (std::vector<std::string>{"Encrypting file: " + container + " 0/3",
                                              "Encrypting file: " + plain + " 1/3",
                                              "Encrypting file: " + d + "1 2/5",
                                              "Encrypting file: " + d + "2 3/5"}));
    EXPECT_TRUE(ui.Modeless().empty()) << "the progress window is gone at the end";
    EXPECT_TRUE(ui.MessageBoxes.empty());
    EXPECT_EQ(outcome.processed, 3);
    EXPECT_EQ(outcome.skipped, 1);
    EXPECT_TRUE(outcome.Succeeded());
}

// What the file manager shows for files left alone: a folder it cannot list is a failure and
// the rest goes on; FIFOs, devices and named files of the wrong kind pass without a word.
TEST_F(BatchTest, UnlistedFoldersFailAndOddEntriesPassSilently) {
    const std::string container = Container("c.qxv", "x");
    Write("d/a", "a");
    Write("d/sub/b", "b");
    Write("d/z", "z");
    world.unlistable = folder.file("d") + PathSeparator() + "sub";
    world.alterListing = [](std::vector<platform::FolderEntry> &entries) {
        platform::FolderEntry fifo;
        fifo.name = "fifo";
        fifo.is_other = true;
        entries.push_back(fifo);
    };
    Select({container, folder.file("d")});
    Accept().Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Cannot open folder: Cannot list folder: " +
                                       world.unlistable + ". Continue with the next file?"});
    EXPECT_EQ(Files(), (std::vector<std::string>{"c.qxv", "d/a.qxv", "d/sub/b", "d/z.qxv"}));
    EXPECT_EQ(outcome.processed, 2);
    EXPECT_EQ(outcome.skipped, 2);
    EXPECT_EQ(outcome.failed, 1);
}

// The engine takes the password as C text: whatever dialog it came from, a NUL is refused
// before any file is touched.
TEST_F(BatchTest, APasswordWithANulByteTouchesNothing) {
    const std::string plain = Write("a", "plain");
    const std::string password("abcdefgh\0rest", 13);
    uint8_t verifier[ui::VerifierSize]; // the default password: no confirmation asked
    ui::HashPassword(password, verifier);
    platform::SettingsKey::Open()->WriteBinary("HashKey", verifier, sizeof verifier);
    Select({plain});
    ui.Modal<TForm1>([&](TForm1 &f) {
          f.UserType("ebPassword", password);
          f.UserEnter();
      }).Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].caption, "Invalid Password");
    EXPECT_NE(ui.MessageBoxes[0].text.find("NUL byte"), std::string::npos);
    EXPECT_EQ(Files(), std::vector<std::string>{"a"});
    EXPECT_EQ(Read(plain), "plain");
    EXPECT_FALSE(outcome.Succeeded());
}

TEST_F(BatchTest, DecryptLabelAndVanishedItem) {
    const std::string container = Container("c.qxv", "x");
    Select({container, folder.file("vanished")});
    std::string label;
    Accept().AtProcessMessages(
        [&] { label = static_cast<TForm2 *>(ui.Modeless().at(0))->FileName->Caption; });
    const BatchOutcome outcome = ProcessSelection(nullptr, 0);
    EXPECT_EQ(label, "Decryption file: " + container);
    EXPECT_TRUE(ui.MessageBoxes.empty()) << "a vanished item is searched as a folder: nothing";
    EXPECT_EQ(Files(), std::vector<std::string>{"c"});
    EXPECT_TRUE(outcome.Succeeded());
}

TEST_F(BatchTest, ASecondCommandWhileOneRunsIsRefused) {
    const std::string a = Write("a", "plain");
    const std::string b = Write("b", "plain");
    Select({a, b});
    Accept().AtProcessMessages([] {
        EXPECT_TRUE(ProcessSelection(nullptr, 0).cancelled);
        EXPECT_EQ(ShowFileInfo(nullptr), 0);
    });
    ProcessSelection(nullptr, 1);
    EXPECT_EQ(ui.Log.front(), "modal Form1");
    EXPECT_EQ(std::count(ui.Log.begin(), ui.Log.end(), "modal Form1"), 1);
    EXPECT_TRUE(ui.MessageBoxes.empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.qxv", "b.qxv"}));
    EXPECT_FALSE(ui::Batch.CommandRunning);
}

TEST_F(BatchTest, ProgressCancelStopsTheFolderAndEndsTheBatch) {
    Write("d/1", "1");
    Write("d/2", "2");
    const std::string e = Write("e", "3");
    Select({folder.file("d"), e});
    Accept().AtProcessMessages([] { ui::Batch.CancelRequested = 1; }).Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Advisory: Action cancelled"});
    EXPECT_EQ(Files(), (std::vector<std::string>{"d/1.qxv", "d/2", "e"}));
    EXPECT_TRUE(outcome.cancelled);
}

TEST_F(BatchTest, FolderListIsSortedWithoutCaseEachPathOnceAndLinksNotFollowed) {
    Write("f/b", "");
    Write("f/A", "");
    Write("f/sub/c", "");
    Write("f/Sub2/a", "");
    world.alterListing = [](std::vector<platform::FolderEntry> &entries) {
        std::reverse(entries.begin(), entries.end());
        if (!entries.empty()) entries.push_back(entries.front()); // delivered twice
        entries.push_back({"loop", true, true});
    };
    std::vector<std::string> list;
    CollectFolderFiles(folder.file("f"), list);
    const std::string f = folder.file("f") + PathSeparator();
    const std::string s(1, PathSeparator());
    std::vector<std::string> expected = {f + "b", f + "A", f + "sub" + s + "c",
                                         f + "Sub2" + s + "a"};
    std::sort(expected.begin(), expected.end(), [](std::string x, std::string y) {
        for (auto *t : {&x, &y})
            for (char &c : *t)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return x < y;
    });
    EXPECT_EQ(list, expected);
    std::vector<std::string> none;
    CollectFolderFiles(folder.file("missing"), none);
    EXPECT_TRUE(none.empty());
}

TEST_F(BatchTest, AFileThatCannotBeOpenedOffersToGoOn) {
    const std::string a = Write("a", "1");
    const std::string b = Write("b", "2");
    world.unopenable = a;
    Select({a, b});
    Accept().Answer(ui::idOK);
    ProcessSelection(nullptr, 1);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Cannot open file: Cannot opening file: " + a +
                                                ". Continue with the next file?"});
    EXPECT_EQ(ui.MessageBoxes[0].style, ui::mbOKCancel);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a", "b.qxv"}));
}

TEST_F(BatchTest, InfoTellsKindAndAlgorithmOfOneFile) {
    const std::string c = Container("c.qxv", "x");
    const std::string p = Write("p", "plain");
    for (const auto &path : {c, p, folder.file("held")}) {
        Select({path});
        ui.Answer(ui::idOK);
        EXPECT_EQ(ShowFileInfo(nullptr), 0);
    }
    world.unopenable = c;
    Select({c});
    ui.Answer(ui::idOK);
    ShowFileInfo(nullptr);
    Select({c, p}); // two items: nothing
    ShowFileInfo(nullptr);
    Select({folder.path().string()});
    ShowFileInfo(nullptr);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{
                  "Quillomar information: Quillomar type : \tQuillomar encrypted file\nAlgorithm: "
                  "\tAES\n",
                  "Not a Valid Quillomar File: File: " + p + " is not an valid Quillomar file",
                  "Quillomar information: Quillomar type : \tQuillomar Error\nAlgorithm: \t\n",
                  "Quillomar information: Quillomar type : \tQuillomar Error\nAlgorithm: \t\n"}));
    for (const auto &box : ui.MessageBoxes)
        EXPECT_EQ(box.style, 0x40u) << "OK with the information icon";
}

TEST_F(BatchTest, EngineFailuresAreReportedTwiceAndLeaveTheFile) {
    const std::string a = Write("a", "plain");
    Select({a});
    world.failRenames = true; // no name can change: not even the journal's
    Accept().Answer(ui::idOK).Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"Cannot write file: Cannot write file: " + a + ".qxv.",
                                        "Cannot Process File: Cannot process file: " + a + "."}));
    EXPECT_EQ(ui.MessageBoxes[1].style, ui::mbOK) << "the last file offers no way on";
    EXPECT_EQ(Files(), std::vector<std::string>{"a"});
    EXPECT_EQ(Read(a), "plain") << "a file that cannot take its new name stays plain";
    EXPECT_FALSE(outcome.Succeeded());
}

TEST_F(BatchTest, FailedReplacementKeepsTheOldFileAndNoPartRemains) {
    const std::string container = Container("r.qxv", "new");
    const std::string old = Write("r", "old");
    const std::string next = Container("s.qxv", "next");
    Select({container, next});
    world.failRenames = true;
    Accept().Answer(ui::idYes).Answer(ui::idOK).Answer(ui::idCancel).Answer(ui::idOK);
    ProcessSelection(nullptr, 0);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"File Exist: Decrypted  file for: " + container +
                                            " already exists. Replace existing file?",
                                        "Cannot write file: Cannot write file: " + old + ".",
                                        "Cannot Process File: Cannot process file: " + container +
                                            ". Continue with the next file?",
                                        "Advisory: Action cancelled"}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"r.qxv", "s.qxv"}))
        << "the old file was given up only for a complete new one";
}

TEST_F(BatchTest, AFolderInTheOutputsPlaceIsReportedBeforeAnythingChanges) {
    const std::string a = Write("a", "plain");
    std::filesystem::create_directory(a + ".qxv");
    Select({a});
    Accept().Answer(ui::idOK).Answer(ui::idOK);
    ProcessSelection(nullptr, 1);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"Cannot write file: Cannot write file: " + a + ".qxv.",
                                        "Cannot Process File: Cannot process file: " + a + "."}));
    EXPECT_EQ(Read(a), "plain");
}

TEST_F(BatchTest, MissingStubShowsProblemAndKeepsTheContainer) {
    const std::string a = Write("a", "plain");
    Select({a});
    world.modulePath = folder.file("nostub") + PathSeparator() + "quillomar";
    Accept(true).Answer(ui::idOK);
    const BatchOutcome outcome = ProcessSelection(nullptr, 1);
    ASSERT_EQ(ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].text, "Problem");
    EXPECT_EQ(ui.MessageBoxes[0].caption, sfx_stub_path(world.modulePath));
    EXPECT_EQ(Files(), std::vector<std::string>{"a.qxv"});
    EXPECT_FALSE(outcome.Succeeded());
}

TEST_F(BatchTest, ExeFromAStubBesideTheModule) {
    const std::string a = Write("a", "plain");
    const std::string stub = Write("bin/stub-bytes", "STUB");
    std::filesystem::rename(stub, folder.file("bin/" + std::string(SFX_STUB_FILE_NAME)));
    Select({a});
    world.modulePath = folder.file("bin") + PathSeparator() + "quillomar";
    Accept(true);
    ProcessSelection(nullptr, 1);
    EXPECT_TRUE(ui.MessageBoxes.empty());
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"a.exe", "bin/" + std::string(SFX_STUB_FILE_NAME)}));
    EXPECT_EQ(Read(a + ".exe").substr(0, 4), "STUB");
}

} // namespace
} // namespace qxv_test
