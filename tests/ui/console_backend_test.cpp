// The console backend as a person meets it: a dialog run in a child process on a
// pseudo-terminal (hidden password input, refused short passwords, the confirmation flow,
// Ctrl-D and Ctrl-C), and the same dialogs driven line by line through a pipe.
#ifndef _WIN32
#include "tests/ui/dialog_fixture.h"
#include "ui/Msgbox.h"
#include "ui/Qxvprogress.h"
#include "ui/console/console_backend.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace ui;
using Clock = std::chrono::steady_clock;

// A child process that runs `body` with the console backend current and exits with its
// result; the parent talks to it through a pseudo-terminal or through pipes.
class Child {
public:
    enum class Mode { Terminal, Pipe };

    Child(Mode mode, std::function<int()> body) {
        if (mode == Mode::Terminal) {
            pid_ = forkpty(&out_, nullptr, nullptr, nullptr);
            in_ = out_;
        } else {
            int input[2], output[2];
            EXPECT_EQ(pipe(input), 0);
            EXPECT_EQ(pipe(output), 0);
            pid_ = fork();
            if (pid_ == 0) {
                dup2(input[0], 0);
                dup2(output[1], 2);
                close(input[1]);
                close(output[0]);
            } else {
                close(input[0]);
                close(output[1]);
                in_ = input[1];
                out_ = output[0];
            }
        }
        if (pid_ == 0) {
            ConsoleBackend console;
            SetBackend(&console);
            int result = body();
            _exit(result);
        }
    }
    ~Child() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ != out_) close(in_);
        close(out_);
    }

    // Reads output until `text` has appeared after the read position; the position then
    // moves past it. False after 30 seconds (a loaded machine is slow, a passing test is not).
    bool Expect(const std::string &text) {
        auto deadline = Clock::now() + std::chrono::seconds(30);
        for (;;) {
            size_t at = output_.find(text, position_);
            if (at != std::string::npos) {
                position_ = at + text.size();
                return true;
            }
            if (Clock::now() > deadline || !ReadSome(deadline)) return false;
        }
    }
    void Send(const std::string &text) {
        ASSERT_EQ(write(in_, text.data(), text.size()), ssize_t(text.size()));
    }
    void CloseInput() {
        if (in_ != out_) {
            close(in_);
            in_ = open("/dev/null", O_WRONLY);
        }
    }
    // The child's exit code (-1 when it did not end within 30 seconds); reads the rest of
    // its output.
    int Result() {
        auto deadline = Clock::now() + std::chrono::seconds(30);
        while (ReadSome(deadline)) {
        }
        for (;;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
                return status_;
            }
            if (Clock::now() > deadline) return -1;
            usleep(10000);
        }
    }
    const std::string &Output() const { return output_; }

private:
    bool ReadSome(Clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return false;
        char buf[512];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) return false;
        output_.append(buf, size_t(n));
        return true;
    }

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    int status_ = -1;
    std::string output_;
    size_t position_ = 0;
};

class ConsoleDialogs : public ::testing::Test {
protected:
    ConsoleDialogs() {
        Batch = BatchState{};
        saved_ = ExeOptionAvailable;
        ExeOptionAvailable = [] { return true; };
    }
    ~ConsoleDialogs() override { ExeOptionAvailable = saved_; }

    // The password dialog; the exit code is its modal result, plus 10 when the password it
    // kept is `expected`, plus 20 when the executable option ended up on.
    static std::function<int()> password_dialog(int encrypt, std::string expected) {
        return [encrypt, expected] {
            Batch.EncryptMode = encrypt;
            const unsigned char files = 0;
            TForm1 form(nullptr, &files,
                        encrypt ? "Encrypting file: a.txt" : "Decrypting file: a.txt.qxv");
            int result = form.ShowModal();
            if (result == mrOk && form.ebPassword->Text() == expected) result += 10;
            if (Batch.MakeExeFile) result += 20;
            return result;
        };
    }

    qxv_test::SettingsSandbox settings;
    std::function<bool()> saved_;
};

TEST_F(ConsoleDialogs, PasswordIsHiddenShortOnesAreRefusedAndTheFirstIsConfirmed) {
    Child child(Child::Mode::Terminal, password_dialog(1, "correct horse"));
    ASSERT_TRUE(child.Expect("Orvanel Quillomar"));
    ASSERT_TRUE(child.Expect("Encrypting file: a.txt"));
    ASSERT_TRUE(child.Expect("Password: "));
    child.Send("short7x\r");
    // Refused as it is entered, before the option is asked.
    ASSERT_TRUE(child.Expect("\nThe password must have at least 8 characters."));
    ASSERT_TRUE(child.Expect("Password: "));
    child.Send("correct horse\r");
    ASSERT_TRUE(child.Expect("Create EXE-File? [y/N] "));
    child.Send("y\r");
    // First encryption: the confirmation dialog.
    ASSERT_TRUE(child.Expect("Quillomar Confirm Default Password"));
    ASSERT_TRUE(child.Expect("Confirm Password: "));
    child.Send("correct horsE\r");
    ASSERT_TRUE(child.Expect("Confirm Password: The two passwords are not equal."));
    ASSERT_TRUE(child.Expect("Confirm Password: "));
    child.Send("correct horse\r");
    EXPECT_EQ(child.Result(), 1 + 10 + 20) << child.Output();
    EXPECT_EQ(child.Output().find("short7x"), std::string::npos) << "typed without echo";
    EXPECT_EQ(child.Output().find("correct horse"), std::string::npos);
    uint8_t verifier[20];
    size_t read = 0;
    ASSERT_TRUE(platform::SettingsKey::Open()->ReadBinary("HashKey", verifier, 20, read).ok());
    EXPECT_EQ(read, 20u);
}

TEST_F(ConsoleDialogs, EndOfInputCancels) {
    Child child(Child::Mode::Terminal, password_dialog(0, ""));
    ASSERT_TRUE(child.Expect("Password: "));
    child.Send("\x04"); // Ctrl-D on an empty line
    EXPECT_EQ(child.Result(), mrCancel) << child.Output();
    EXPECT_FALSE(platform::SettingsKey::Open()->ValueExists("AES")) << "Cancel writes nothing";
}

TEST_F(ConsoleDialogs, CtrlCCancelsTheDialogAndRestoresEcho) {
    Child child(Child::Mode::Terminal, [] {
        int result = password_dialog(0, "")();
        // Echo must be back on: the parent sees the next line it types. It types it only
        // after this mark, so a slow child cannot still have echo off when the line arrives.
        std::fputs("[returned]", stdout);
        std::fflush(stdout);
        std::string got;
        char c;
        while (platform::terminal::read_byte(c) == platform::terminal::ReadResult::Byte &&
               c != '\n')
            got += c;
        return got == "visible" ? result : 99;
    });
    ASSERT_TRUE(child.Expect("Password: "));
    child.Send("abc\x03");
    ASSERT_TRUE(child.Expect("[returned]"));
    child.Send("visible\r");
    EXPECT_EQ(child.Result(), mrCancel) << child.Output();
    EXPECT_NE(child.Output().find("visible"), std::string::npos) << "echoed again";
}

TEST_F(ConsoleDialogs, CtrlCDuringTheBatchIsTheProgressWindowsCancel) {
    Child child(Child::Mode::Terminal, [] {
        TForm2 progress(nullptr);
        progress.ProgressBar1->Max = 3;
        progress.ProgressBar1->Step = 1;
        progress.Show();
        progress.FileName->Caption = "Encrypting file: /tmp/one";
        progress.Update();
        platform::terminal::write_error("\nworking\n");
        // The "file" takes a while; Ctrl-C arrives in the middle and must not end the process.
        for (int i = 0; i < 500 && !Batch.CancelRequested; ++i) {
            usleep(10000);
            if (i % 10 == 0) ProcessMessages();
        }
        return Batch.CancelRequested ? 7 : 3;
    });
    ASSERT_TRUE(child.Expect("\r[--------------------] 0/3 Encrypting file: /tmp/one"));
    ASSERT_TRUE(child.Expect("working"));
    child.Send("\x03");
    EXPECT_EQ(child.Result(), 7) << child.Output();
    EXPECT_NE(child.Output().find("stopping after the current file"), std::string::npos);
}

TEST_F(ConsoleDialogs, APipeDrivesTheWholeDialogLineByLine) {
    settings.set_binary("HashKey", qxv_test::from_hex("70e9d85c781fedbedf55802a3409ae46a14bdd60"));
    Child child(Child::Mode::Pipe, password_dialog(1, "Secret12"));
    // Another password than the default ("password"): re-confirmation, made the default.
    child.Send("Secret12\nn\nSecret12\ny\n");
    child.CloseInput();
    EXPECT_EQ(child.Result(), 1 + 10) << child.Output();
    EXPECT_NE(child.Output().find("Quillomar Confirm Password"), std::string::npos);
    EXPECT_NE(child.Output().find("Use as default password? [y/N]"), std::string::npos);
    // Nothing echoed the hidden entry's line end: the dialog ends the line itself.
    EXPECT_NE(child.Output().find("Password: \nCreate EXE-File? [y/N] "), std::string::npos)
        << child.Output();
    std::vector<uint8_t> verifier(20);
    size_t read = 0;
    ASSERT_TRUE(
        platform::SettingsKey::Open()->ReadBinary("HashKey", verifier.data(), 20, read).ok());
    EXPECT_EQ(verifier, qxv_test::from_hex("98cca54f6af884fbea9688da8a0cbab6b6fd98af"));
}

TEST_F(ConsoleDialogs, APipeThatEndsEarlyCancels) {
    Child child(Child::Mode::Pipe, password_dialog(1, ""));
    child.Send("Secret12\n"); // the check-box answer never comes
    child.CloseInput();
    EXPECT_EQ(child.Result(), mrCancel) << child.Output();
}

TEST_F(ConsoleDialogs, MessageBoxesAskForOneOfTheirButtons) {
    Child child(Child::Mode::Pipe, [] {
        int a = ShowMessageBox("Replace existing file?", "File Exist", mbYesNo, 0, 0);
        int b =
            ShowMessageBox("Continue with the next file?", "Invalid Password", mbOKCancel, 0, 0);
        int c = ShowMessageBox("Action cancelled", "Advisory", mbOK, 0, 0);
        int d = ShowMessageBox("Again?", "File Exist", mbYesNo, 0, 0); // input has ended
        return a == idYes && b == idCancel && c == idOK && d == idNo ? 0 : 1;
    });
    child.Send("maybe\nYES\nc\n");
    child.CloseInput();
    EXPECT_EQ(child.Result(), 0) << child.Output();
    EXPECT_NE(child.Output().find("File Exist: Replace existing file?\n[y]es/[n]o? "),
              std::string::npos);
    EXPECT_NE(child.Output().find("Advisory: Action cancelled\n"), std::string::npos);
}

} // namespace
#endif
