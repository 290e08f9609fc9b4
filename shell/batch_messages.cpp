#include "shell/batch_messages.h"

#include "container/container.h"
#include "ui/backend.h"

namespace {

enum class Subject { Path, Output };

// A message around one name: the source path or the output name.
struct Message {
    const char *before = nullptr;
    Subject subject = Subject::Path;
    const char *after = nullptr;
    const char *caption = nullptr;
};

struct ResultRow {
    int result;
    Message notice; // shown first with OK, when it has a caption
    Message failure;
};

constexpr Message NO_NOTICE = {};
constexpr Message CANNOT_PROCESS = {"Cannot process file: ", Subject::Path, ".",
                                    "Cannot Process File"};
constexpr Message CANNOT_WRITE = {"Cannot write file: ", Subject::Output, ".", "Cannot write file"};

// Every engine result the batch tells apart; any other failure is CANNOT_PROCESS alone.
constexpr ResultRow RESULT_ROWS[] = {
    {CRYPT_ERR_FILE, CANNOT_WRITE, CANNOT_PROCESS},
    {CRYPT_ERR_DISK_FULL,
     {"Cannot write file: ", Subject::Output, ". Out of Disk Space.", "Out of Disk space"},
     CANNOT_PROCESS},
    {CRYPT_ERR_RANDOM,
     {"Cannot encrypt file: ", Subject::Path, ". The system's random source failed.",
      "No random salt"},
     CANNOT_PROCESS},
    {CRYPT_ERR_LINKED,
     {"Cannot encrypt file: ", Subject::Path,
      ". It has other names (hard links), which encryption would change too. Encrypt a copy "
      "instead.",
      "File has other names"},
     CANNOT_PROCESS},
    {CRYPT_ERR_JOURNAL_TAKEN,
     {"Cannot encrypt file: ", Subject::Path,
      ". Another file holds the name of its journal (the name with .qxvj added).",
      "Journal name taken"},
     CANNOT_PROCESS},
    {CRYPT_ERR_PASSWORD,
     NO_NOTICE,
     {"Invalid password used for file: ", Subject::Path, ".", "Invalid Password"}},
};

std::string Compose(const Message &message, const std::string &path, const std::string &output) {
    return message.before + (message.subject == Subject::Path ? path : output) + message.after;
}

} // namespace

BatchBox FailureBox(const std::string &message, const std::string &caption, bool last) {
    if (last) return {message, caption, ui::mbOK, true};
    return {message + " Continue with the next file?", caption, ui::mbOKCancel, true};
}

BatchBox CannotProcessBox(const std::string &path, bool last) {
    return FailureBox(Compose(CANNOT_PROCESS, path, ""), CANNOT_PROCESS.caption, last);
}

BatchBox CannotWriteBox(const std::string &name) {
    return {Compose(CANNOT_WRITE, "", name), CANNOT_WRITE.caption, ui::mbOK, false};
}

std::vector<BatchBox> EngineResultBoxes(int result, const std::string &path,
                                        const std::string &output, bool last) {
    if (result == CRYPT_OK) return {};
    ResultRow row = {result, NO_NOTICE, CANNOT_PROCESS};
    for (const ResultRow &known : RESULT_ROWS)
        if (known.result == result) row = known;
    std::vector<BatchBox> boxes;
    if (row.notice.caption)
        boxes.push_back({Compose(row.notice, path, output), row.notice.caption, ui::mbOK, false});
    boxes.push_back(FailureBox(Compose(row.failure, path, output), row.failure.caption, last));
    return boxes;
}
