#include "container/wipe.h"

void container_wipe(void *data, size_t length) {
    volatile unsigned char *bytes = static_cast<volatile unsigned char *>(data);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = 0;
}
