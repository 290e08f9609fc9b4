// Tells, without a password and without reading the ciphertext, whether a file is a container
// of the current form (trailer at the end), of the old header-first form, or neither.
#pragma once

constexpr int PROBE_NONE = 0;        // not a container, or one whose fields are damaged
constexpr int PROBE_OLD_FORMAT = 1;  // old form: "QXV" and the algorithm name at the start
constexpr int PROBE_CANNOT_OPEN = 3; // missing, a folder, held open by another program, unreadable
constexpr int PROBE_CONTAINER = 5;   // current form

constexpr unsigned PROBE_ALGORITHM_BUFFER_SIZE = 80;

// `algorithm` (at least 80 bytes) receives the algorithm name for codes 1 and 5 and is left
// alone otherwise. The file is opened unshared, so a file another program holds gives 3. A
// self-decrypting executable gives 0: its trailer's offset counts from the container's start.
int container_probe(const char *path, char *algorithm);

// Whether an encryption of the file at `path` was cut short and is not finished: its journal
// lies beside it (a file of that name that is not a journal, or the journal of an encryption
// whose container has since taken its name, does not count). Only encrypting the file again,
// with the same password, finishes it (even when all that was left was its rename).
bool container_probe_interrupted(const char *path);

// Whether a file name (without its folder) is that of an encryption's journal: a file that
// belongs to the encryption of the file beside it, never to be processed on its own.
bool container_probe_journal_name(const char *name);
