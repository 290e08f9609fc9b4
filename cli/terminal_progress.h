// The command line's follower of a batch (shell/batch_progress.h): one progress line on
// standard error, redrawn at most ten times a second (once a second, line by line, when
// standard error is not a terminal and --progress asked for it), with the bar and bytes of the
// current file, the rate, the time left, and the files done of the batch's files; drawn
// complete at the end and followed by a one-line summary.
//
// Ctrl-C: the first asks the batch to stop after the current file and says so; a second one
// while a file is in the engine stops that file, which the engine leaves as it was.
#pragma once

#include "shell/batch_progress.h"
#include "shell/commands.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace cli {

// "512 B", "1.5 KiB", "12.3 MiB", "1.00 GiB".
std::string FormatBytes(uint64_t bytes);
// "0:07", "12:34", "1:02:03".
std::string FormatDuration(double seconds);

class TerminalProgress final : public BatchProgress {
public:
    using PasswordPrompt = std::function<bool(const std::string &path, ui::SecureString &)>;
    enum class Show { Nothing, Terminal, Lines };

    TerminalProgress(bool encrypt, Show show, PasswordPrompt passwordAgain);

    void BatchStarting(size_t files) override;
    void FileStarting(const std::string &path) override;
    bool advance(uint64_t done, uint64_t total) override;
    void FileEnded(FileOutcome outcome) override;
    bool PasswordAgain(const std::string &path, ui::SecureString &password) override;

    // A Ctrl-C seen between files, where the batch lets pending messages run.
    void TakeInterrupt();
    // Takes the progress line off the terminal, so that a message starts a line of its own.
    void ClearLine();
    // The line drawn complete and the summary (when showing), after the batch.
    void Finish(const BatchOutcome &outcome);
    // Ctrl-C left work undone: the batch never started, a file was stopped, or files remained.
    bool CutShort() const;
    bool Interrupted() const { return interrupts_ > 0; }

private:
    using Clock = std::chrono::steady_clock;
    void OnInterrupt();
    void Draw(bool now);
    std::string Line(size_t width) const;

    const bool encrypt_;
    const Show show_;
    PasswordPrompt passwordAgain_;
    Clock::time_point start_{}, lastDraw_{};
    bool drawn_ = false;   // a line stands on the terminal
    bool started_ = false; // the batch began
    size_t files_ = 0, filesEnded_ = 0;
    std::string path_;
    uint64_t fileDone_ = 0, fileTotal_ = 0;
    uint64_t bytesBefore_ = 0; // bytes of the files ended
    uint64_t bytesProcessed_ = 0;
    int interrupts_ = 0;
    bool inFile_ = false, stopFile_ = false, stoppedAny_ = false;
};

} // namespace cli
