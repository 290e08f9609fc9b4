// The batch-wide state: one instance for the loaded library (or program), shared by the
// command handler, the batch processor and the password and progress dialogs.
#pragma once

namespace ui {

struct BatchState {
    int EncryptMode = -1;           // 1 encrypt, 0 decrypt, -1 no command chose yet
    int CancelRequested = 0;        // 1: stop the batch after the current file
    bool KeepEncryptedFile = false; // decrypt: keep the container after success
    int MakeExeFile = 0;            // encrypt: also build a self-decrypting executable
    int CipherSelector = 3;         // chooses the decryption mode letter
    bool CommandRunning = false;    // a command is being carried out
    // Files the engine works on side by side: 0 as many as suit the machine, 1 one at a time.
    int Jobs = 0;

    // What the command handler resets before every command. MakeExeFile and CipherSelector
    // keep their values until the next password dialog sets them.
    void ResetForCommand() {
        EncryptMode = -1;
        CancelRequested = 0;
        KeepEncryptedFile = false;
    }
};

extern BatchState Batch;

// Marks a command as running for its lifetime; a second command that arrives meanwhile
// (while pending window messages run between files) finds Acquired() false and must refuse.
class CommandScope {
public:
    CommandScope() : acquired_(!Batch.CommandRunning) { Batch.CommandRunning = true; }
    ~CommandScope() {
        if (acquired_) Batch.CommandRunning = false;
    }
    CommandScope(const CommandScope &) = delete;
    CommandScope &operator=(const CommandScope &) = delete;
    bool Acquired() const { return acquired_; }

private:
    bool acquired_;
};

} // namespace ui
