// The built qxvsd run as a recipient would run it, its dialog answered through standard input
// and its messages read from standard error.
#include "stub/stub_messages.h"
#include "tests/stub/stub_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace stub_test;

namespace {

struct StubRun {
    int exit_code = -1;
    std::string messages; // standard error
};

// Runs `program` with `arguments`, `input` on standard input and PATH set to `path_folder`
// (a folder without xdg-open, unless a test puts one there). `shell_prefix` runs it under
// /bin/sh first (for resource limits). A `display` is a graphical session's DISPLAY; without
// `input` standard input is /dev/null, as for a program a file manager starts.
StubRun run(const std::vector<std::string> &command, const std::optional<std::string> &input,
            const std::filesystem::path &path_folder, const std::string &display = "") {
    int in_pipe[2], err_pipe[2];
    EXPECT_EQ(pipe(in_pipe), 0);
    EXPECT_EQ(pipe(err_pipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input) {
        posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, in_pipe[1]);
    posix_spawn_file_actions_addclose(&actions, err_pipe[0]);

    std::vector<std::string> environment = {"PATH=" + path_folder.string(), "HOME=/nonexistent"};
    if (!display.empty()) environment.push_back("DISPLAY=" + display);
    std::vector<char *> envp, argv;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = command;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t child;
    int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(err_pipe[1]);
    StubRun result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << command[0];
        close(in_pipe[1]);
        close(err_pipe[0]);
        return result;
    }
    // The stub may end before it reads its input: a closed pipe must not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    if (input) (void)!write(in_pipe[1], input->data(), input->size());
    close(in_pipe[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(err_pipe[0], buffer, sizeof buffer)) > 0)
        result.messages.append(buffer, static_cast<size_t>(n));
    close(err_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string message(const char *text) {
    return std::string(STUB_CAPTION) + ": " + text + "\n";
}

class QxvsdPipe : public ::testing::Test {
protected:
    ScratchFolder folder;
    ScratchFolder empty_path; // PATH for the stub: no xdg-open in it

    StubRun run_stub(const std::vector<std::string> &arguments, const std::string &input) {
        std::vector<std::string> command = {built_stub().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return run(command, input, empty_path.path());
    }
    StubRun run_executable(const std::filesystem::path &executable, const std::string &input) {
        return run({executable.string()}, input, empty_path.path());
    }
};

} // namespace

TEST_F(QxvsdPipe, SelfDecryptingFilesOfEveryAlgorithmGiveBackThePlainBytes) {
    for (const std::string &name : GOOD_CONTAINERS) {
        SCOPED_TRACE(name);
        std::filesystem::path executable = folder / (name + ".bin.exe");
        make_self_decrypting(name, executable);
        StubRun result = run_executable(executable, password_of(name) + "\n\n");
        EXPECT_EQ(result.messages, message(STUB_MSG_TYPE_UNKNOWN));
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(read_bytes(folder / (name + ".bin")), read_bytes(data_file(name + ".plain")));
        EXPECT_FALSE(std::filesystem::exists(folder / (name + ".bin.partial")));
    }
}

TEST_F(QxvsdPipe, ExecutablesOfOurOwnEngineAndBuildDecryptThemselves) {
    const Bytes plain = patterned_bytes(40000);
    for (char mode : {'A', 'e', 'E'}) {
        SCOPED_TRACE(mode);
        std::filesystem::path executable = folder / "report.doc.exe";
        make_engine_self_decrypting(plain, mode, "p\xe4ssword", folder / "report.doc", executable);
        StubRun result = run_executable(executable, "p\xe4ssword\n\n");
        EXPECT_EQ(result.exit_code, 0) << result.messages;
        EXPECT_EQ(read_bytes(folder / "report.doc"), plain);
        std::filesystem::remove(folder / "report.doc");
        std::filesystem::remove(executable);
    }
}

TEST_F(QxvsdPipe, ABareContainerOnTheCommandLineAndAChosenName) {
    std::filesystem::copy_file(data_file("des3_odd.qxv"), folder / "odd.qxv");
    std::filesystem::path chosen = folder / "chosen name.out";
    StubRun result = run_stub({(folder / "odd.qxv").string()},
                              "correct horse battery\n" + chosen.string() + "\n");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(read_bytes(chosen), read_bytes(data_file("des3_odd.plain")));
    EXPECT_FALSE(std::filesystem::exists(folder / "odd"));
}

TEST_F(QxvsdPipe, ANameWithoutExtensionProposesDec) {
    std::filesystem::copy_file(data_file("des_small.qxv"), folder / "noext");
    std::string quoted = (folder / "noext").string();
    quoted.insert(quoted.begin(), '"');
    quoted.push_back('"');
    StubRun result = run_stub({quoted}, "correct horse battery\n");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(read_bytes(folder / "noext.dec"), read_bytes(data_file("des_small.plain")));
}

TEST_F(QxvsdPipe, AWrongPasswordLeavesNoFileBehind) {
    make_self_decrypting("aes_chunks", folder / "x.bin.exe");
    StubRun result = run_executable(folder / "x.bin.exe", "correct horse batterY\n\n");
    EXPECT_EQ(result.messages, message(STUB_MSG_WRONG_PASSWORD));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    // A password that is the right one cut short is wrong too.
    result = run_stub({data_file("aes_long_password.qxv").string(), ""},
                      std::string(299, 'p') + "\n" + (folder / "y").string() + "\n");
    EXPECT_EQ(result.messages, message(STUB_MSG_WRONG_PASSWORD));
    EXPECT_FALSE(std::filesystem::exists(folder / "y"));
}

TEST_F(QxvsdPipe, ThePasswordMustNotBeEmpty) {
    std::filesystem::path out = folder / "out";
    StubRun result = run_stub({data_file("des_small.qxv").string()},
                              "\ncorrect horse battery\n" + out.string() + "\n");
    EXPECT_EQ(result.messages, message(STUB_MSG_ENTER_PASSWORD) + message(STUB_MSG_TYPE_UNKNOWN));
    EXPECT_EQ(read_bytes(out), read_bytes(data_file("des_small.plain")));

    result = run_stub({data_file("des_small.qxv").string()}, "");
    EXPECT_EQ(result.messages, message(STUB_MSG_EMPTY_PASSWORD));
    EXPECT_EQ(result.exit_code, 1);

    // A NUL would cut the password short: eight of them, or the right password and more.
    for (const std::string &password :
         {std::string(8, '\0'), std::string("correct horse battery\0rest", 26)}) {
        result = run_stub({data_file("des_small.qxv").string()},
                          password + "\n" + out.string() + ".2\n");
        EXPECT_EQ(result.messages, message(STUB_MSG_PASSWORD_NUL));
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_FALSE(std::filesystem::exists(out.string() + ".2"));
    }
}

TEST_F(QxvsdPipe, AnExistingFileIsReplacedOnlyWhenTheAnswerIsYes) {
    std::filesystem::path out = folder / "existing";
    write_bytes(out, {'o', 'l', 'd'});
    const std::string answers = "correct horse battery\n" + out.string() + "\n";
    StubRun declined = run_stub({data_file("aes_chunks.qxv").string()}, answers + "n\n");
    EXPECT_EQ(declined.exit_code, 2);
    EXPECT_EQ(declined.messages, "");
    EXPECT_EQ(read_bytes(out), (Bytes{'o', 'l', 'd'}));

    StubRun accepted = run_stub({data_file("aes_chunks.qxv").string()}, answers + "y\n");
    EXPECT_EQ(accepted.exit_code, 0);
    EXPECT_EQ(read_bytes(out), read_bytes(data_file("aes_chunks.plain")));
}

TEST_F(QxvsdPipe, FailuresToWriteRemoveTheOutput) {
    StubRun result =
        run_stub({data_file("aes_chunks.qxv").string()},
                 "correct horse battery\n" + (folder / "no/such/folder/out").string() + "\n");
    EXPECT_EQ(result.messages, message(STUB_MSG_CANNOT_CREATE));
    EXPECT_EQ(result.exit_code, 1);

    // Files may grow to 8 KiB only: the third chunk cannot be written. A file the person
    // agreed to replace survives the failure.
    std::filesystem::path out = folder / "out";
    write_bytes(out, {'k', 'e', 'e', 'p'});
    result = run({"/bin/sh", "-c", "ulimit -f 16; trap '' XFSZ; exec \"$0\" \"$@\"",
                  built_stub().string(), data_file("aes_chunks.qxv").string()},
                 "correct horse battery\n" + out.string() + "\ny\n", empty_path.path());
    EXPECT_EQ(result.messages, message(STUB_MSG_FILE_ERROR));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(read_bytes(out), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(QxvsdPipe, TheResultIsOpenedWithXdgOpen) {
    // A stand-in for xdg-open that records what it was asked to open.
    ScratchFolder tools;
    std::filesystem::path record = tools / "opened";
    write_bytes(tools / "xdg-open", {});
    {
        std::string script = "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.string() + "'\n";
        write_bytes(tools / "xdg-open", Bytes(script.begin(), script.end()));
    }
    std::filesystem::permissions(tools / "xdg-open", std::filesystem::perms::owner_all);
    std::filesystem::path out = folder / "plain.txt";
    StubRun result = run({built_stub().string(), data_file("des_small.qxv").string()},
                         "correct horse battery\n" + out.string() + "\n", tools.path());
    EXPECT_EQ(result.messages, "");
    EXPECT_EQ(result.exit_code, 0);
    Bytes opened = read_bytes(record);
    EXPECT_EQ(std::string(opened.begin(), opened.end()), out.string());
}

TEST_F(QxvsdPipe, FilesThatAreNoSelfDecryptingFiles) {
    StubRun bare = run_stub({}, "correct horse battery\n\n");
    EXPECT_TRUE(bare.messages == message(STUB_MSG_NOT_SELFDECRYPTING) ||
                bare.messages == message(STUB_MSG_NOT_QUILLOMAR))
        << bare.messages;
    EXPECT_EQ(bare.exit_code, 1);

    StubRun missing = run_stub({(folder / "missing.exe").string()}, "correct horse battery\n\n");
    EXPECT_EQ(missing.messages, message(STUB_MSG_CANNOT_OPEN));

    // Neither a FIFO nor a device is waited on or read.
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    for (const std::string &input : {(folder / "fifo").string(), std::string("/dev/zero")}) {
        StubRun odd = run_stub({input}, "correct horse battery\n\n");
        EXPECT_EQ(odd.messages, message(STUB_MSG_CANNOT_OPEN)) << input;
        EXPECT_EQ(odd.exit_code, 1);
    }

    StubRun damaged = run_stub({data_file("defect_unknown_algorithm.qxv").string()}, "x\n\n");
    EXPECT_EQ(damaged.messages, message(STUB_MSG_BAD_HEADER));
    EXPECT_FALSE(std::filesystem::exists(data_file("defect_unknown_algorithm")));
}

// Double-clicked in a file manager (no terminal, nothing on standard input) the stub opens itself
// in x-terminal-emulator, here a stand-in that records its arguments and answers the dialog.
TEST_F(QxvsdPipe, WithoutATerminalTheStubOpensItselfInTheTerminalEmulator) {
    ScratchFolder tools;
    std::filesystem::path executable = folder / "it's -e a \"file\".bin.exe";
    make_self_decrypting("aes_chunks", executable);
    const std::string answers = password_of("aes_chunks") + "\n\n";
    write_bytes(tools / "answers", Bytes(answers.begin(), answers.end()));
    const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/arguments\"\n"
                               "shift\nexec \"$@\" < \"${0%/*}/answers\"\n";
    write_bytes(tools / "x-terminal-emulator", Bytes(script.begin(), script.end()));
    std::filesystem::permissions(tools / "x-terminal-emulator", std::filesystem::perms::owner_all);
    const std::filesystem::path plain = folder / "it's -e a \"file\".bin";
    const std::filesystem::path no_tools = empty_path.path();
    struct Case {
        const char *name;
        std::optional<std::string> input;
        std::filesystem::path path;
        std::string display;
        bool reopened;
        int exit_code;
    } cases[] = {
        {"double-clicked", std::nullopt, tools.path(), ":0", true, 0},
        {"no terminal emulator", std::nullopt, no_tools, ":0", false, 1},
        {"no graphical session", std::nullopt, tools.path(), "", false, 1},
        {"a script's answers", answers, tools.path(), ":0", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tools / "arguments");
        std::filesystem::remove(plain);
        StubRun result = run({executable.string()}, c.input, c.path, c.display);
        EXPECT_EQ(result.exit_code, c.exit_code) << result.messages;
        EXPECT_EQ(std::filesystem::exists(plain), c.exit_code == 0);
        if (c.reopened) {
            Bytes recorded = read_bytes(tools / "arguments");
            EXPECT_EQ(std::string(recorded.begin(), recorded.end()),
                      "-e\n" + executable.string() + "\n");
            // xdg-open is missing: the message waits for Enter before the window closes.
            EXPECT_EQ(result.messages, message(STUB_MSG_TYPE_UNKNOWN) + STUB_PRESS_ENTER);
        } else {
            EXPECT_FALSE(std::filesystem::exists(tools / "arguments"));
        }
        if (c.exit_code == 1) {
            EXPECT_EQ(result.messages, message(STUB_MSG_NO_TERMINAL));
        }
    }
}
