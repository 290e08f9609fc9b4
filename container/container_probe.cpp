#include "container/container_probe.h"

#include "container/container.h"
#include "container/tlv.h"
#include "container/trailer.h"
#include "container/watched_file.h"
#include "platform/file_system.h"

#include <cstring>

namespace {

bool read_text_equal(platform::File &file, const char *expected) {
    char text[TLV_TEXT_BUFFER_SIZE];
    return tlv_read_string(file, text) == 0 && std::strcmp(text, expected) == 0;
}

int read_algorithm(platform::File &file, char *algorithm, int found) {
    char text[TLV_TEXT_BUFFER_SIZE];
    if (tlv_read_string(file, text) != 0) return PROBE_NONE;
    std::memcpy(algorithm, text, std::strlen(text) + 1);
    return found;
}

int probe_open_file(platform::File &file, char *algorithm) {
    if (read_text_equal(file, CONTAINER_MAGIC))
        return read_algorithm(file, algorithm, PROBE_OLD_FORMAT);

    // A container only by the rule decryption reads it with: a damaged trailer, or one naming
    // no known cipher, is no container here either.
    uint64_t size = 0;
    ContainerTrailer trailer;
    if (!file.size(&size) || trailer_read(file, size, &trailer) != TrailerError::None)
        return PROBE_NONE;
    std::memcpy(algorithm, trailer.name, std::strlen(trailer.name) + 1);
    return PROBE_CONTAINER;
}

} // namespace

// A file that fails to be read cannot be told: it counts as one that cannot be opened, never
// as a plain file (encrypting a container twice) or a foreign one (skipped without a word).
int container_probe(const char *path, char *algorithm) {
    auto opened = platform::file_system().open(path, platform::Access::Read, platform::Share::None,
                                               platform::Disposition::OpenExisting);
    if (!opened) return PROBE_CANNOT_OPEN;
    WatchedFile file(*opened);
    const int found = probe_open_file(file, algorithm);
    return file.failed() ? PROBE_CANNOT_OPEN : found;
}
