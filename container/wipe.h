// Overwrites secrets (keys, passwords, decrypted key check blocks, cipher contexts) with zeros
// in a way the compiler may not drop as a dead store.
#pragma once

#include <cstddef>

void container_wipe(void *data, size_t length);
