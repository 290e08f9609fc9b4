// Shared between the three-call interface (convmech.cpp) and the one-shot forms
// (convmech_oneshot.cpp): the split of a message into bulk and final tail.
#pragma once

#include <cstdint>

struct ConvmechSplit {
    uint64_t tail;    // bytes handed to convmech_final
    bool mac;         // the final's output is a MAC, written at the start of the output
    bool stream_mode; // byte-wise mode: the result length is the input length
};

// Checks the one-shot's arguments for `mode` and a message of `length` bytes after a
// successful init and decides the split. Returns 0 or ERR_INVALID_PARAMETER.
int convmech_split(uint32_t algorithm, uint32_t mode, uint32_t padding, uint32_t block_size,
                   uint64_t length, ConvmechSplit *split);
