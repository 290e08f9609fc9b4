// The console backend on Windows, driven through pipes from another process: answers are
// read line by line (CR LF line ends included) and end of input cancels.
#ifdef _WIN32
#include "tests/support/settings_sandbox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct ChildRun {
    DWORD exit_code = 0xFFFFFFFF;
    std::string output;
};

std::wstring child_path() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path(buffer, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"ui_console_child.exe";
}

// Starts the child with `scenario`, writes `input` to its standard input and closes it,
// and collects its standard error until it ends.
ChildRun run_child(const std::wstring &scenario, const std::string &input) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write;
    EXPECT_TRUE(CreatePipe(&in_read, &in_write, &inherit, 0));
    EXPECT_TRUE(CreatePipe(&out_read, &out_write, &inherit, 0));
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in_read;
    start.hStdOutput = out_write;
    start.hStdError = out_write;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + child_path() + L"\" " + scenario;
    ChildRun run;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &start, &process)) {
        ADD_FAILURE() << "cannot start the child";
        return run;
    }
    CloseHandle(in_read);
    CloseHandle(out_write);
    DWORD written = 0;
    WriteFile(in_write, input.data(), DWORD(input.size()), &written, nullptr);
    CloseHandle(in_write);
    char buffer[1024];
    DWORD got = 0;
    while (ReadFile(out_read, buffer, sizeof buffer, &got, nullptr) && got > 0)
        run.output.append(buffer, got);
    CloseHandle(out_read);
    WaitForSingleObject(process.hProcess, 10000);
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

TEST(ConsolePipe, TheDialogIsAnsweredLineByLine) {
    qxv_test::SettingsSandbox settings;
    // The verifier of "password"; "Secret12" is another password and must be confirmed.
    settings.set_binary("HashKey", {0x70, 0xe9, 0xd8, 0x5c, 0x78, 0x1f, 0xed, 0xbe, 0xdf, 0x55,
                                    0x80, 0x2a, 0x34, 0x09, 0xae, 0x46, 0xa1, 0x4b, 0xdd, 0x60});
    ChildRun run = run_child(L"password", "short\r\nSecret12\r\nSecret12\r\nn\r\n");
    EXPECT_EQ(run.exit_code, 11u) << run.output;
    EXPECT_NE(run.output.find("The password must have at least 8 characters."), std::string::npos);
    EXPECT_NE(run.output.find("Quillomar Confirm Password"), std::string::npos);
    EXPECT_EQ(run.output.find("Secret12"), std::string::npos);
}

TEST(ConsolePipe, EndOfInputCancels) {
    qxv_test::SettingsSandbox settings;
    ChildRun run = run_child(L"password", "Secret12");
    EXPECT_EQ(run.exit_code, 2u) << run.output;
}

TEST(ConsolePipe, MessageBoxesTakeTheirButtonsFromLines) {
    ChildRun run = run_child(L"boxes", "yes\r\ncancel\r\n");
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_NE(run.output.find("File Exist: Replace existing file?"), std::string::npos);
}

} // namespace
#endif
