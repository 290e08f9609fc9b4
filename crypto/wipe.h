// Wiping of key material that the compiler may not optimise away.
#pragma once

#include <cstddef>

void wipe_memory(void *p, std::size_t n);
