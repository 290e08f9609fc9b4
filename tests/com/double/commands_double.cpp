// A recording stand-in for the commands, linked only into the test build of QXVShell.dll.
// The host reads the record through the exported functions below (plain C types only: the
// test program and the DLL each carry their own C++ runtime).
#include "shell/commands.h"
#include "shell/selection.h"
#include "ui/batch_state.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

std::string g_log;
int g_throw = 0;
void (*g_during_command)(void *) = nullptr;
void *g_during_context = nullptr;

// Like the real commands: one at a time, holding the command scope while running.
void Record(const char *command, void *window, int encrypt) {
    ui::CommandScope scope;
    if (!scope.Acquired()) {
        g_log += "refused\n";
        return;
    }
    char head[160];
    std::snprintf(head, sizeof head, "%s(%llx,%d) state=%d,%d,%d n=%llu", command,
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), encrypt,
                  ui::Batch.EncryptMode, ui::Batch.CancelRequested,
                  ui::Batch.KeepEncryptedFile ? 1 : 0,
                  static_cast<unsigned long long>(GetSelectionCount()));
    g_log += head;
    for (size_t i = 0; i < GetSelectionCount(); ++i)
        g_log += " [" + GetSelectionPath(i) + "]";
    g_log += "\n";
    if (g_during_command) g_during_command(g_during_context);
    if (g_throw) throw std::runtime_error("double asked to throw");
}

} // namespace

BatchOutcome ProcessSelection(void *window, int encrypt) {
    Record("ProcessSelection", window, encrypt);
    return {};
}

int ShowFileInfo(void *window) {
    Record("ShowFileInfo", window, -1);
    return 0;
}

// Clears the record; `throw_after` makes every command throw once it has recorded itself, and
// `during` (if set) is called inside every command.
extern "C" __declspec(dllexport) void QxvDoubleReset(int throw_after, void (*during)(void *),
                                                     void *context) {
    g_log.clear();
    g_throw = throw_after;
    g_during_command = during;
    g_during_context = context;
}

// Copies the record (one line per command) into `buffer`, always terminated.
extern "C" __declspec(dllexport) void QxvDoubleLog(char *buffer, size_t size) {
    if (size == 0) return;
    const size_t length = g_log.size() < size - 1 ? g_log.size() : size - 1;
    std::memcpy(buffer, g_log.data(), length);
    buffer[length] = '\0';
}

// Sets the batch-wide state's reset fields to the given values, for checking the reset.
extern "C" __declspec(dllexport) void QxvDoubleSetBatch(int encrypt_mode, int cancel, int keep) {
    ui::Batch.EncryptMode = encrypt_mode;
    ui::Batch.CancelRequested = cancel;
    ui::Batch.KeepEncryptedFile = keep != 0;
}

// Reads the batch-wide state's reset fields as "EncryptMode,CancelRequested,KeepEncryptedFile".
extern "C" __declspec(dllexport) void QxvDoubleGetBatch(char *buffer, size_t size) {
    std::snprintf(buffer, size, "%d,%d,%d", ui::Batch.EncryptMode, ui::Batch.CancelRequested,
                  ui::Batch.KeepEncryptedFile ? 1 : 0);
}
