#include "container/sfx_build.h"

#include "container/container.h"
#include "platform/file_system.h"

#include <memory>
#include <new>

std::string sfx_stub_path(const std::string &module_path) {
    return platform::folder_of(module_path) + SFX_STUB_FILE_NAME;
}

std::string sfx_executable_path(const std::string &plain_path) {
    return plain_path + ".exe";
}

namespace {

// Appends the whole container, read until a read yields nothing; SFX_OK or the failure.
int append_container(platform::File &container, platform::File &executable) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[CONTAINER_CHUNK_SIZE]);
    if (!buffer) return SFX_ERR_WRITE;
    for (;;) {
        size_t got = 0;
        if (!container.read(buffer.get(), CONTAINER_CHUNK_SIZE, &got)) return SFX_ERR_CONTAINER;
        if (got == 0) return SFX_OK;
        if (!platform::write_exact(executable, buffer.get(), got)) return SFX_ERR_WRITE;
    }
}

// Whoever may read the container may read and run the executable; no one else.
void give_container_permissions(platform::File &container, platform::File &executable) {
    uint32_t mode = 0;
    if (container.get_permissions(&mode)) executable.set_permissions(mode | (mode & 0444) >> 2);
}

SfxResult failure(int code, const std::string &path) {
    return SfxResult{code, path};
}

} // namespace

SfxResult container_build_sfx(const std::string &stub_path, const std::string &executable_path,
                              const std::string &container_path, bool delete_container) {
    auto &fs = platform::file_system();
    if (fs.exists(executable_path)) return failure(SFX_ERR_WRITE, executable_path);
    // A failed copy leaves nothing behind; whatever holds the name now (a file or link that
    // appeared since the check) is not ours to delete.
    if (!fs.copy_file_no_replace(stub_path, executable_path))
        return failure(SFX_ERR_STUB, stub_path);

    SfxResult result;
    {
        auto executable = fs.open(executable_path, platform::Access::Write, platform::Share::None,
                                  platform::Disposition::OpenExisting);
        if (!executable) {
            result = failure(SFX_ERR_STUB, stub_path);
        } else {
            auto container =
                fs.open(container_path, platform::Access::Read, platform::Share::ReadWrite,
                        platform::Disposition::OpenExisting);
            uint64_t stub_size = 0, container_size = 0, total = 0;
            if (!container || !container->size(&container_size)) {
                result = failure(SFX_ERR_CONTAINER, container_path);
            } else if (!executable->seek(0, platform::Origin::End, &stub_size)) {
                result = failure(SFX_ERR_WRITE, executable_path);
            } else if (const int code = append_container(*container, *executable); code != SFX_OK) {
                result =
                    failure(code, code == SFX_ERR_CONTAINER ? container_path : executable_path);
            } else if (!executable->size(&total) || total != stub_size + container_size) {
                // The container changed size while it was copied, or a write went astray.
                result = failure(SFX_ERR_WRITE, executable_path);
            } else if (!executable->flush() ||
                       !fs.sync_folder(platform::folder_of(executable_path))) {
                result = failure(SFX_ERR_WRITE, executable_path); // not safely on disk
            } else {
                give_container_permissions(*container, *executable);
            }
        }
    }
    if (result.code != SFX_OK) {
        fs.remove_file(executable_path);
        return result;
    }
    if (delete_container) fs.remove_file(container_path);
    return result;
}
