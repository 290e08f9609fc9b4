#include "container/tlv.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/memory_file.h"

#include <cstring>

// The first byte chooses a sequence of readers; the rest is the file. Every reader must stay
// within its buffer and bound, and a success must leave the position after what it consumed.
void fuzz_tlv(const uint8_t *data, size_t size) {
    if (size == 0) return;
    const uint8_t plan = data[0];
    qxv_test::MemoryFile file(std::vector<uint8_t>(data + 1, data + size));
    for (int step = 0; step < 4; ++step) {
        const uint64_t before = file.position();
        int result = -1;
        switch ((plan >> (2 * step)) & 3) {
        case 0: {
            char text[TLV_TEXT_BUFFER_SIZE];
            result = tlv_read_string(file, text);
            if (result == 0) FUZZ_REQUIRE(std::strlen(text) < TLV_TEXT_BUFFER_SIZE);
            break;
        }
        case 1: {
            uint8_t bytes[TLV_OCTETS_MAX];
            uint32_t length = 0;
            const uint32_t capacity = 1 + plan % TLV_OCTETS_MAX;
            result = tlv_read_octets(file, bytes, capacity, &length);
            if (result == 0) FUZZ_REQUIRE(length <= capacity);
            break;
        }
        case 2: {
            uint32_t value = 0;
            result = tlv_read_uint32(file, &value);
            if (result == 0) {
                // What was read writes back to the same value.
                qxv_test::MemoryFile copy;
                FUZZ_REQUIRE(tlv_write_uint32(copy, value) == 0);
                copy.seek(0, platform::Origin::Begin, nullptr);
                uint32_t again = 0;
                FUZZ_REQUIRE(tlv_read_uint32(copy, &again) == 0 && again == value);
            }
            break;
        }
        default: {
            uint32_t length = 0;
            result = tlv_read_length(file, &length);
            break;
        }
        }
        FUZZ_REQUIRE(file.position() <= file.bytes().size());
        if (result != 0) return;
        FUZZ_REQUIRE(file.position() > before);
    }
}
