#include "container/stale_partial.h"

#include "platform/file_system.h"

bool container_remove_stale_partial(const char *container, const char *partial) {
    auto &fs = platform::file_system();
    switch (fs.name_kind(partial)) {
    case platform::NameKind::Free:
        return true;
    case platform::NameKind::Other:
        return false;
    case platform::NameKind::File:
        break;
    }
    const auto source = fs.attributes(container);
    auto file = fs.open(partial, platform::Access::Read, platform::Share::ReadWriteDelete,
                        platform::Disposition::OpenExisting);
    uint64_t size = 0;
    const auto identity = file ? platform::identity_of(*file) : std::nullopt;
    if (!source || !identity || !file->size(&size) || size > source->size) return false;
    file.reset();
    return fs.remove_file_if_same(partial, *identity);
}
