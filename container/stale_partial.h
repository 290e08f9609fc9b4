// What a decryption killed halfway leaves: its temporary file beside the output, holding part
// of the plain text. A later decryption of the same container removes it, and nothing else.
#pragma once

// Removes `partial`, the temporary name a decryption of `container` writes to before the result
// takes its name, when a run that died left it there: a file of its own (no link), no larger
// than the container. True when the name is free afterwards.
bool container_remove_stale_partial(const char *container, const char *partial);
