#include "container/finished_journal.h"

#include "container/journal.h"
#include "platform/file_system.h"

#include <optional>
#include <string>

bool container_remove_finished_journal(const char *container) {
    const std::string path = container;
    const std::string extension = ".qxv"; // as encryption names a container, letter case too
    if (path.size() <= extension.size() ||
        path.compare(path.size() - extension.size(), extension.size(), extension) != 0)
        return true;
    const std::string plain = path.substr(0, path.size() - extension.size());
    auto &fs = platform::file_system();
    const std::string name = journal_path(plain);
    const platform::NameKind kind = fs.name_kind(name);
    if (kind != platform::NameKind::File) return kind == platform::NameKind::Free;
    // A plain file of that name is the one to encrypt; its encryption judges the journal.
    if (fs.name_kind(plain) != platform::NameKind::Free) return false;
    const auto attributes = fs.attributes(path);
    Journal journal;
    JournalHeader header;
    std::optional<JournalRecord> slots[2];
    if (!attributes || journal.open(name, &header) != Journal::Found::Whole ||
        !journal.headers(slots))
        return false;
    const JournalRecord *newest = nullptr;
    for (const auto &slot : slots)
        if (slot && (!newest || slot->sequence > newest->sequence)) newest = &*slot;
    if (!newest || newest->kind != RecordKind::Done || newest->done != attributes->size)
        return false;
    return journal.remove();
}
