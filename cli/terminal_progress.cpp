#include "cli/terminal_progress.h"

#include "platform/terminal.h"
#include "ui/batch_state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace cli {
namespace term = platform::terminal;

namespace {

constexpr size_t kNameMin = 16; // a name is shortened from its start down to this

std::string Printed(const char *format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Joins texts (instead of operator+ on a literal, which GCC 12 misreads under -Wrestrict).
std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

std::string Counted(size_t count, const char *one) {
    return Cat({std::to_string(count), " ", one, count == 1 ? "" : "s"});
}

} // namespace

std::string FormatBytes(uint64_t bytes) {
    if (bytes < 1024) return Cat({std::to_string(bytes), " B"});
    static const char *const units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    // Two decimals for the GiB and beyond, where one tenth is a hundred megabytes.
    return Cat({Printed(unit >= 2 ? "%.2f " : "%.1f ", value), units[unit]});
}

std::string FormatDuration(double seconds) {
    const auto total = static_cast<unsigned long long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", total / 60, total % 60);
    return text;
}

TerminalProgress::TerminalProgress(bool encrypt, Show show, PasswordPrompt passwordAgain)
    : encrypt_(encrypt), show_(show), passwordAgain_(std::move(passwordAgain)) {}

void TerminalProgress::BatchStarting(size_t files) {
    started_ = true;
    files_ = files;
    start_ = Clock::now();
}

void TerminalProgress::FileStarting(const std::string &path) {
    path_ = path;
    fileDone_ = fileTotal_ = 0;
    inFile_ = true;
    Draw(false);
}

bool TerminalProgress::advance(uint64_t done, uint64_t total) {
    fileDone_ = done;
    fileTotal_ = total;
    if (term::interrupt_take()) OnInterrupt();
    if (stopFile_) {
        stoppedAny_ = true;
        return false;
    }
    Draw(false);
    return true;
}

void TerminalProgress::FileEnded(FileOutcome outcome) {
    inFile_ = false;
    stopFile_ = false;
    ++filesEnded_;
    bytesBefore_ += fileDone_;
    if (outcome == FileOutcome::Processed) bytesProcessed_ += fileTotal_;
    Draw(false);
}

bool TerminalProgress::PasswordAgain(const std::string &path, ui::SecureString &password) {
    ClearLine();
    return passwordAgain_ && passwordAgain_(path, password);
}

void TerminalProgress::TakeInterrupt() {
    if (term::interrupt_take()) OnInterrupt();
}

void TerminalProgress::OnInterrupt() {
    ++interrupts_;
    ClearLine();
    if (interrupts_ == 1 || !inFile_) {
        ui::Batch.CancelRequested = 1;
        term::write_error("Ctrl-C: stopping after the current file; Ctrl-C again stops it now.\n");
    } else if (!stopFile_) {
        stopFile_ = true;
        term::write_error("Ctrl-C: stopping the current file; it is left as it was.\n");
    }
}

std::string TerminalProgress::Line(size_t width) const {
    const uint64_t done = std::min(fileDone_, fileTotal_);
    // A file the engine has not reported yet is at 0%; one it never will (skipped) at 100%.
    const int percent = fileTotal_ != 0 ? static_cast<int>(done * 100 / fileTotal_)
                        : inFile_       ? 0
                                        : 100;
    const std::string files =
        Cat({"[", std::to_string(filesEnded_), "/", std::to_string(files_), "] "});
    std::string stats =
        Cat({"  ", FormatBytes(done), "/", FormatBytes(fileTotal_), Printed("  %.0f%%", percent)});
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const uint64_t batchBytes = bytesBefore_ + (inFile_ ? done : 0);
    if (seconds >= 0.2 && batchBytes > 0) {
        const double rate = static_cast<double>(batchBytes) / seconds;
        stats.append(Cat({"  ", FormatBytes(static_cast<uint64_t>(rate)), "/s  ",
                          FormatDuration(static_cast<double>(fileTotal_ - done) / rate), " left"}));
    }
    // The name's end tells most: a long one loses its start.
    const size_t fixed = files.size() + stats.size();
    const size_t room = std::max(width > fixed ? width - fixed : 0, kNameMin);
    if (path_.size() <= room) return Cat({files, path_, stats});
    return Cat({files, "...", std::string_view(path_).substr(path_.size() - (room - 3)), stats});
}

void TerminalProgress::Draw(bool now) {
    if (show_ == Show::Nothing || !started_) return;
    const Clock::time_point time = Clock::now();
    const auto interval =
        show_ == Show::Terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
    if (!now && lastDraw_ != Clock::time_point{} && time - lastDraw_ < interval) return;
    lastDraw_ = time;
    const auto width = size_t(std::max(10, term::error_width() - 1));
    std::string line = Line(show_ == Show::Terminal ? width : SIZE_MAX);
    if (show_ == Show::Lines) {
        term::write_error(Cat({line, "\n"}));
        return;
    }
    // Cut at the terminal's width, so that the carriage return comes back to its start.
    if (line.size() > width) line.resize(width);
    term::write_error(Cat({"\r", line, "\x1b[K"}));
    drawn_ = true;
}

void TerminalProgress::ClearLine() {
    if (!drawn_) return;
    term::write_error("\r\x1b[K");
    drawn_ = false;
    lastDraw_ = {}; // drawn again at the next update
}

void TerminalProgress::Finish(const BatchOutcome &outcome) {
    if (term::interrupt_take()) ++interrupts_; // at a question: it was cancelled
    if (show_ == Show::Nothing || !started_) return;
    Draw(true);
    if (show_ == Show::Terminal) term::write_error("\n");
    drawn_ = false;
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    term::write_error(
        Cat({encrypt_ ? "Encrypted " : "Decrypted ", Counted(size_t(outcome.processed), "file"),
             " (", FormatBytes(bytesProcessed_), "), skipped ", std::to_string(outcome.skipped),
             ", failed ", std::to_string(outcome.failed), ", in ",
             seconds < 60 ? Printed("%.1f s", seconds) : FormatDuration(seconds),
             CutShort() ? "; stopped by Ctrl-C.\n" : ".\n"}));
}

bool TerminalProgress::CutShort() const {
    return interrupts_ > 0 && (!started_ || stoppedAny_ || filesEnded_ < files_);
}

} // namespace cli
