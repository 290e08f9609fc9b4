// The probe's view of an interrupted encryption: the journal's name and place stay the
// journal's own business.
#include "container/container_probe.h"
#include "container/journal.h"
#include "platform/file_system.h"

bool container_probe_interrupted(const char *path) {
    const auto attributes = platform::file_system().attributes(path);
    return attributes && journal_unfinished(path, attributes->size);
}

bool container_probe_journal_name(const char *name) {
    return journal_name(name);
}
