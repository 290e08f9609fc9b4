// The self-decrypting executable: the stub program's file followed by one container, byte for
// byte, with nothing added. The stub finds the container through the container's own trailer.
#pragma once

#include "platform/file_system.h"

#include <string>

constexpr int SFX_OK = 0;
constexpr int SFX_ERR_STUB = 1;      // the stub cannot be copied or opened
constexpr int SFX_ERR_CONTAINER = 2; // the container cannot be opened or read
constexpr int SFX_ERR_WRITE = 3;     // the executable exists already or could not be written whole

#ifdef _WIN32
constexpr const char *SFX_STUB_FILE_NAME = "qxvsd.exe";
#else
constexpr const char *SFX_STUB_FILE_NAME = "qxvsd";
#endif

struct SfxResult {
    int code = SFX_OK;
    std::string problem_path; // the file the failure is about (the stub's path for SFX_ERR_STUB)
    platform::FileIdentity executable; // after SFX_OK: the file built
    bool container_kept = false;       // SFX_OK, but the container could not be deleted
};

// The stub beside the module (program or library) at `module_path`.
std::string sfx_stub_path(const std::string &module_path);
// The executable's name for a plain file: its full path with ".exe" appended.
std::string sfx_executable_path(const std::string &plain_path);

// Writes the stub to `executable_path` (which must not exist) and appends the container. Only
// once the executable is complete and on disk, its size the stub's plus the container's, is the
// container deleted (when `delete_container`, and only the file that was copied). On failure
// the incomplete executable is removed and the container kept.
SfxResult container_build_sfx(const std::string &stub_path, const std::string &executable_path,
                              const std::string &container_path, bool delete_container);
