// The built qxvsd.exe run as a recipient would run it: its save dialog, with the password area
// of the stub, is filled in and confirmed from this process, and its message boxes are read.
#include "stub/stub_messages.h"
#include "tests/stub/save_dialog_driver.h"
#include "tests/stub/stub_test_support.h"

#include <gtest/gtest.h>

using namespace stub_test;

namespace {

const std::wstring TITLE = L"Orvanel Quillomar Decrypt and Save";
const std::wstring CAPTION = L"Quillomar Decryptor";
constexpr int PASSWORD_FIELD = 1000;

// ASCII texts, and password bytes of the Windows-1252 code page whose letters here are those
// of Latin-1.
std::wstring wide(const std::string &text) {
    std::wstring result;
    for (unsigned char c : text)
        result.push_back(static_cast<wchar_t>(c));
    return result;
}

// Waits for the stub's message box, returns its text and presses OK.
std::wstring answer_message(const StubProcess &stub) {
    HWND box = stub.wait_for_window(CAPTION);
    if (box == nullptr) return L"(no message box)";
    std::wstring text = message_box_text(box);
    press(box, IDOK);
    return text;
}

// Fills in the save dialog and presses Save.
void save_as(HWND dialog, const std::string &password, const std::filesystem::path &output) {
    HWND password_field = find_control(dialog, PASSWORD_FIELD);
    ASSERT_NE(password_field, nullptr);
    set_control_text(password_field, wide(password));
    HWND name_box = file_name_box(dialog);
    ASSERT_NE(name_box, nullptr);
    set_control_text(name_box, output.wstring());
    press(dialog, IDOK);
}

class QxvsdDialog : public ::testing::Test {
protected:
    ScratchFolder folder;
};

} // namespace

TEST_F(QxvsdDialog, SelfDecryptingFilesOfEveryAlgorithmGiveBackThePlainBytes) {
    for (const std::string &name : GOOD_CONTAINERS) {
        SCOPED_TRACE(name);
        // An extension no program is associated with: the result is not opened.
        std::filesystem::path executable = folder / (name + ".qxvtest.exe");
        make_self_decrypting(name, executable);
        StubProcess stub(executable, L"");
        ASSERT_TRUE(stub.started());
        HWND dialog = stub.wait_for_window(TITLE);
        ASSERT_NE(dialog, nullptr);
        // The proposed name is the executable's name without ".exe".
        EXPECT_EQ(control_text(file_name_box(dialog)), wide(name + ".qxvtest"));
        save_as(dialog, password_of(name), folder / (name + ".qxvtest"));
        EXPECT_EQ(answer_message(stub), wide(STUB_MSG_TYPE_UNKNOWN));
        EXPECT_EQ(stub.wait_for_exit(), 0);
        EXPECT_EQ(read_bytes(folder / (name + ".qxvtest")), read_bytes(data_file(name + ".plain")));
    }
}

TEST_F(QxvsdDialog, ExecutablesOfOurOwnEngineAndBuildDecryptThemselves) {
    const Bytes plain = patterned_bytes(40000);
    for (char mode : {'A', 'e', 'E'}) {
        SCOPED_TRACE(mode);
        std::filesystem::path executable = folder / "report.qxvtest.exe";
        make_engine_self_decrypting(plain, mode, "p\xe4ssword", folder / "report.qxvtest",
                                    executable);
        StubProcess stub(executable, L"");
        HWND dialog = stub.wait_for_window(TITLE);
        ASSERT_NE(dialog, nullptr);
        save_as(dialog, "p\xe4ssword", folder / "report.qxvtest");
        EXPECT_EQ(answer_message(stub), wide(STUB_MSG_TYPE_UNKNOWN));
        EXPECT_EQ(stub.wait_for_exit(), 0);
        EXPECT_EQ(read_bytes(folder / "report.qxvtest"), plain);
        std::filesystem::remove(folder / "report.qxvtest");
        std::filesystem::remove(executable);
    }
}

TEST_F(QxvsdDialog, TheDialogInsistsOnAPassword) {
    std::filesystem::path executable = folder / "small.qxvtest.exe";
    make_self_decrypting("des_small", executable);
    StubProcess stub(executable, L"");
    HWND dialog = stub.wait_for_window(TITLE);
    ASSERT_NE(dialog, nullptr);
    press(dialog, IDOK);
    EXPECT_EQ(answer_message(stub), wide(STUB_MSG_ENTER_PASSWORD));
    // Still open: now with a password.
    ASSERT_EQ(stub.wait_for_window(TITLE), dialog);
    save_as(dialog, "correct horse battery", folder / "small.qxvtest");
    EXPECT_EQ(answer_message(stub), wide(STUB_MSG_TYPE_UNKNOWN));
    EXPECT_EQ(stub.wait_for_exit(), 0);
    EXPECT_EQ(read_bytes(folder / "small.qxvtest"), read_bytes(data_file("des_small.plain")));
}

TEST_F(QxvsdDialog, AWrongPasswordLeavesNoFileBehind) {
    std::filesystem::path executable = folder / "chunks.qxvtest.exe";
    make_self_decrypting("aes_chunks", executable);
    StubProcess stub(executable, L"");
    HWND dialog = stub.wait_for_window(TITLE);
    ASSERT_NE(dialog, nullptr);
    save_as(dialog, "correct horse", folder / "chunks.qxvtest");
    EXPECT_EQ(answer_message(stub), wide(STUB_MSG_WRONG_PASSWORD));
    EXPECT_EQ(stub.wait_for_exit(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(QxvsdDialog, ReplacingAFileIsAskedFirst) {
    std::filesystem::path container = folder / "odd.qxv";
    std::filesystem::copy_file(data_file("des3_odd.qxv"), container);
    std::filesystem::path output = folder / "odd";
    write_bytes(output, {'o', 'l', 'd'});
    // A quoted path on the command line: the bare container is decrypted.
    StubProcess stub(built_stub(), L"\"" + container.wstring() + L"\"");
    HWND dialog = stub.wait_for_window(TITLE);
    ASSERT_NE(dialog, nullptr);
    save_as(dialog, "correct horse battery", output);
    HWND question = stub.wait_for_window(TITLE, dialog);
    ASSERT_NE(question, nullptr);
    press(question, IDYES);
    EXPECT_EQ(answer_message(stub), wide(STUB_MSG_TYPE_UNKNOWN));
    EXPECT_EQ(stub.wait_for_exit(), 0);
    EXPECT_EQ(read_bytes(output), read_bytes(data_file("des3_odd.plain")));
}

TEST_F(QxvsdDialog, TheDialogIsPlacedAndLaidOutAsDescribed) {
    StubProcess stub(built_stub(), wide(data_file("aes_empty.qxv").string()));
    HWND dialog = stub.wait_for_window(TITLE);
    ASSERT_NE(dialog, nullptr);
    // Centred horizontally, a third of the free height from the top.
    RECT frame, desktop;
    GetWindowRect(dialog, &frame);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    EXPECT_NEAR(frame.left, (desktop.right - width) / 2, 1);
    EXPECT_NEAR(frame.top, (desktop.bottom - height) / 3, 1);

    HWND password_field = find_control(dialog, PASSWORD_FIELD);
    ASSERT_NE(password_field, nullptr);
    LONG style = GetWindowLongW(password_field, GWL_STYLE);
    EXPECT_TRUE(style & ES_PASSWORD);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);
    EXPECT_TRUE(style & WS_TABSTOP);
    // The explanation and the label stand in the custom area, above the standard controls.
    HWND custom_area = GetParent(password_field);
    std::wstring texts = message_box_text(custom_area);
    EXPECT_NE(texts.find(wide(STUB_DIALOG_TEXT)), std::wstring::npos);
    EXPECT_NE(texts.find(L"Password:"), std::wstring::npos);
    RECT password_rect, name_rect;
    GetWindowRect(password_field, &password_rect);
    GetWindowRect(file_name_box(dialog), &name_rect);
    EXPECT_LT(password_rect.bottom, name_rect.top);

    // Cancel: no message, nothing written.
    press(dialog, IDCANCEL);
    EXPECT_EQ(stub.wait_for_exit(), 2);
    EXPECT_FALSE(std::filesystem::exists(data_file("aes_empty")));
}

TEST_F(QxvsdDialog, FilesThatCannotBeDecryptedAreNamedInAMessage) {
    std::filesystem::path bare = folder / "bare.exe";
    std::filesystem::copy_file(built_stub(), bare);
    {
        StubProcess stub(bare, L"");
        std::wstring text = answer_message(stub);
        EXPECT_TRUE(text == wide(STUB_MSG_NOT_SELFDECRYPTING) ||
                    text == wide(STUB_MSG_NOT_QUILLOMAR));
        EXPECT_EQ(stub.wait_for_exit(), 1);
    }
    const std::pair<const char *, const char *> cases[] = {
        {"missing", STUB_MSG_CANNOT_OPEN},
        {"defect_end_marker.qxv", STUB_MSG_NOT_QUILLOMAR},
        {"defect_offset_beyond_end.qxv", STUB_MSG_BAD_OFFSET},
        {"defect_magic.qxv", STUB_MSG_NO_TRAILER},
        {"defect_unknown_algorithm.qxv", STUB_MSG_BAD_HEADER},
        {"defect_salt_tag.qxv", STUB_MSG_BAD_FIELDS},
    };
    for (const auto &[name, message] : cases) {
        SCOPED_TRACE(name);
        StubProcess stub(built_stub(), L"\"" + data_file(name).wstring() + L"\"");
        EXPECT_EQ(answer_message(stub), wide(message));
        EXPECT_EQ(stub.wait_for_exit(), 1);
    }
}
