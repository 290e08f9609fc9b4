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

// Appends everything `from` holds from its position on, read until a read yields nothing;
// SFX_OK, or `read_failure` / SFX_ERR_WRITE.
int append_all(platform::File &from, platform::File &to, int read_failure) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[CONTAINER_CHUNK_SIZE]);
    if (!buffer) return SFX_ERR_WRITE;
    for (;;) {
        size_t got = 0;
        if (!from.read(buffer.get(), CONTAINER_CHUNK_SIZE, &got)) return read_failure;
        if (got == 0) return SFX_OK;
        if (!platform::write_exact(to, buffer.get(), got)) return SFX_ERR_WRITE;
    }
}

// Whoever may read the container may read and run the executable; no one else.
void give_container_permissions(platform::File &container, platform::File &executable) {
    uint32_t mode = 0;
    if (container.get_permissions(&mode)) executable.set_permissions(mode | (mode & 0444) >> 2);
}

SfxResult failure(int code, const std::string &path) {
    SfxResult result;
    result.code = code;
    result.problem_path = path;
    return result;
}

// Stub, then container, into the new executable; SFX_OK once it is whole and on disk.
SfxResult fill(platform::File &stub, platform::File &container, platform::File &executable,
               const std::string &stub_path, const std::string &container_path,
               const std::string &executable_path) {
    uint64_t stub_size = 0, container_size = 0, total = 0;
    if (!stub.size(&stub_size)) return failure(SFX_ERR_STUB, stub_path);
    if (!container.size(&container_size)) return failure(SFX_ERR_CONTAINER, container_path);
    if (const int code = append_all(stub, executable, SFX_ERR_STUB); code != SFX_OK)
        return failure(code, code == SFX_ERR_STUB ? stub_path : executable_path);
    if (const int code = append_all(container, executable, SFX_ERR_CONTAINER); code != SFX_OK)
        return failure(code, code == SFX_ERR_CONTAINER ? container_path : executable_path);
    // A file that changed size while it was copied, or a write that went astray.
    if (!executable.size(&total) || total != stub_size + container_size)
        return failure(SFX_ERR_WRITE, executable_path);
    if (!executable.flush() ||
        !platform::file_system().sync_folder(platform::folder_of(executable_path)))
        return failure(SFX_ERR_WRITE, executable_path); // not safely on disk
    give_container_permissions(container, executable);
    return SfxResult{};
}

} // namespace

SfxResult container_build_sfx(const std::string &stub_path, const std::string &executable_path,
                              const std::string &container_path, bool delete_container) {
    using platform::Access;
    using platform::Disposition;
    using platform::Share;
    auto &fs = platform::file_system();
    if (fs.exists(executable_path)) return failure(SFX_ERR_WRITE, executable_path);
    auto stub = fs.open(stub_path, Access::Read, Share::Read, Disposition::OpenExisting);
    if (!stub) return failure(SFX_ERR_STUB, stub_path);
    // Shared for deletion: this build may delete it while the handle keeps its identity.
    auto container =
        fs.open(container_path, Access::Read, Share::ReadWriteDelete, Disposition::OpenExisting);
    const auto container_identity =
        container ? platform::identity_of(*container) : std::optional<platform::FileIdentity>();
    if (!container_identity) return failure(SFX_ERR_CONTAINER, container_path);

    // The executable is made here rather than copied, so that this build knows it by its
    // handle: only that file is ever removed again, never one that took its name meanwhile.
    auto executable = fs.open(executable_path, Access::Write, Share::None, Disposition::CreateNew);
    if (!executable) return failure(SFX_ERR_WRITE, executable_path);
    const auto executable_identity = platform::identity_of(*executable);
    SfxResult result = executable_identity ? fill(*stub, *container, *executable, stub_path,
                                                  container_path, executable_path)
                                           : failure(SFX_ERR_WRITE, executable_path);
    executable.reset();
    if (result.code != SFX_OK) {
        if (executable_identity) fs.remove_file_if_same(executable_path, *executable_identity);
        return result;
    }
    result.executable = *executable_identity;
    if (delete_container && !fs.remove_file_if_same(container_path, *container_identity))
        result.container_kept = true;
    return result;
}
