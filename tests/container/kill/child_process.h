// Runs a program to its end and returns its exit code and what it printed.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qxv_test {

struct ChildResult {
    int exit_code = -1; // -1: could not be started, or did not exit normally
    std::string output;
};

#ifdef _WIN32

inline ChildResult run_child(const std::vector<std::string> &arguments) {
    ChildResult result;
    std::string command;
    for (const auto &argument : arguments)
        command += (command.empty() ? "\"" : " \"") + argument + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // Under Wine on a busy machine a process now and then fails to start; try again.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
        started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process);
    CloseHandle(write_end);
    if (started) {
        char buffer[256];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
            result.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) result.exit_code = int(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(read_end);
    return result;
}

#else

inline ChildResult run_child(const std::vector<std::string> &arguments) {
    ChildResult result;
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return result;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        std::vector<char *> argv;
        for (const auto &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipe_ends[1]);
    if (child > 0) {
        char buffer[256];
        ssize_t got = 0;
        while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<size_t>(got));
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status))
            result.exit_code = WEXITSTATUS(status);
    }
    close(pipe_ends[0]);
    return result;
}

#endif

} // namespace qxv_test
