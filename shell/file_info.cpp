#include "shell/file_info.h"

#include "container/container_probe.h"
#include "platform/file_system.h"
#include "shell/commands.h"
#include "shell/selection.h"
#include "ui/backend.h"
#include "ui/batch_state.h"

namespace {

constexpr unsigned mbIconInformation = 0x40;
int lastResult = -1;

const char *TypeText(int probe) {
    switch (probe) {
    case PROBE_OLD_FORMAT:
        return "Quillomar (old type) encrypted file";
    case PROBE_CONTAINER:
        return "Quillomar encrypted file";
    default:
        return "Quillomar Error";
    }
}

} // namespace

std::string FileInfoBoxText(int probe, const std::string &path, const std::string &algorithm) {
    if (probe == PROBE_NONE) return "File: " + path + " is not an valid Quillomar file";
    return std::string("Quillomar type : \t") + TypeText(probe) + "\nAlgorithm: \t" + algorithm +
           "\n";
}

int LastFileInfoResult() {
    return lastResult;
}

int ShowFileInfo(void *window) {
    ui::CommandScope scope;
    if (!scope.Acquired()) return 0;
    lastResult = -1;
    if (GetSelectionCount() != 1) return 0;
    const std::string path = GetSelectionPath(0);
    // A folder shows nothing; a path that is gone is probed and reported as an error.
    const auto attributes = platform::file_system().attributes(path);
    if (attributes && attributes->is_folder) return 0;

    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
    const int result = container_probe(path.c_str(), algorithm);
    algorithm[sizeof algorithm - 1] = '\0';
    lastResult = result;
    auto &backend = ui::CurrentBackend();
    backend.RunMessageBox(window, FileInfoBoxText(result, path, algorithm),
                          result == PROBE_NONE ? "Not a Valid Quillomar File"
                                               : "Quillomar information",
                          ui::mbOK | mbIconInformation);
    return 0;
}
