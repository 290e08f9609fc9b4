// What an encryption killed between its container's rename and its journal's deletion leaves:
// the container "<name>.qxv" and beside it the finished journal "<name>.qxvj", with no file
// "<name>" any more. Nothing would ever remove that journal, as nothing encrypts "<name>" again.
#pragma once

// Removes the journal of `container`'s plain name when that name is free and the journal is
// ours, not in use, and its newest record says its encryption finished with a container of
// exactly `container`'s size. Anything else is left as it is. True when no such journal remains.
bool container_remove_finished_journal(const char *container);
