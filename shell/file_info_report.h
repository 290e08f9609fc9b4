// What the command line's `info` tells of one file: the Info box's lines, then what a user
// asks of an encrypted file (algorithm, original size and times from the trailer, the
// container's own size, an interrupted encryption waiting), as text for a terminal or as JSON.
// Every byte taken from the file or its name is escaped on the way out.
#pragma once

#include "platform/file_system.h"

#include <cstdint>
#include <optional>
#include <string>

struct FileInfoReport {
    std::string path;
    int probe = -1;        // container_probe's result; -1 for a folder (not probed)
    std::string algorithm; // as the probe read it
    std::string problem;   // why the file could not be read or is refused; empty when none
    std::optional<uint64_t> file_size;
    bool trailer_valid = false; // the trailer passed every check decryption makes
    uint64_t plain_size = 0;
    platform::FileTimes times; // creation and last-write time as stored (ticks since 1601)
    bool interrupted = false;  // an encryption of this file was cut short and waits
};

FileInfoReport InspectFile(const std::string &path);
// Whether the report describes a container (exit status 0 of `info`).
bool ReportIsContainer(const FileInfoReport &report);
std::string FormatFileInfoText(const FileInfoReport &report);
std::string FormatFileInfoJson(const FileInfoReport &report);
