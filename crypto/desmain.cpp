// DES self-tests: the NBS maintenance test (NBS Special Publication 500-61) and a three-key
// Triple-DES known answer (NIST SP 800-67 example).
#include "crypto/des.h"
#include "crypto/errors.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

constexpr unsigned MAINTENANCE_TESTS = 4;
constexpr unsigned MAINTENANCE_ROUNDS[MAINTENANCE_TESTS] = {3, 6, 8, 64};
// The final key block of each test as NBS Special Publication 500-61 lists it.
constexpr uint8_t MAINTENANCE_RESULTS[MAINTENANCE_TESTS][8] = {
    {0xBF, 0x1F, 0xF3, 0x7B, 0xC4, 0x6C, 0xC2, 0xCA},
    {0x1D, 0xFC, 0xF1, 0xC8, 0x44, 0xE8, 0x4A, 0x9B},
    {0x00, 0xB8, 0x2C, 0xBB, 0xE5, 0x8D, 0xBB, 0x9F},
    {0x24, 0x6E, 0x9D, 0xB9, 0xC5, 0x50, 0x38, 0x1A}};

// Runs the test's rounds and leaves the final key block in `result`.
void maintenance_rounds(unsigned rounds, uint8_t result[8]) {
    uint8_t data[8];
    uint32_t schedule[DES_SCHEDULE_WORDS];
    std::memset(data, 0xFF, sizeof data);
    std::memset(result, 0x55, 8);
    for (unsigned i = 0; i < rounds; ++i) {
        des_schedule(schedule, result);
        des_encrypt_block(schedule, data, data);
        des_encrypt_block(schedule, data, result);
        des_schedule(schedule, result);
        des_decrypt_block(schedule, data, result);
    }
    wipe_memory(schedule, sizeof schedule);
}

// SP 800-67 example: K1, K2, K3 and the first block of "The qufck brown fox jump".
constexpr uint8_t KAT_KEY[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01,
                                 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23};
constexpr uint8_t KAT_PLAIN[8] = {'T', 'h', 'e', ' ', 'q', 'u', 'f', 'c'};
constexpr uint8_t KAT_CIPHER[8] = {0xA8, 0x26, 0xFD, 0x8C, 0xE5, 0x3B, 0x85, 0x5F};

} // namespace

int des_maintenance_test(unsigned test_number) {
    if (test_number >= MAINTENANCE_TESTS) return ERR_GENERAL;
    uint8_t result[8];
    maintenance_rounds(MAINTENANCE_ROUNDS[test_number], result);
    return std::memcmp(result, MAINTENANCE_RESULTS[test_number], 8) == 0 ? 0 : ERR_GENERAL;
}

int des_maintenance_test_print(std::FILE *stream, unsigned test_number) {
    if (test_number >= MAINTENANCE_TESTS) return ERR_GENERAL;
    uint8_t result[8];
    maintenance_rounds(MAINTENANCE_ROUNDS[test_number], result);
    std::fprintf(stream, "DES NBS Maintenance Test #%u: ", test_number);
    int status = 0;
    for (int i = 0; i < 8; ++i) {
        const bool match = result[i] == MAINTENANCE_RESULTS[test_number][i];
        std::fputc(match ? '+' : '-', stream);
        if (!match) status = ERR_GENERAL;
    }
    std::fputc('\n', stream);
    return status;
}

int des3_known_answer_test() {
    uint32_t schedule[3 * DES_SCHEDULE_WORDS];
    uint8_t block[8];
    des3_3key_schedule(schedule, KAT_KEY);
    des3_3key_encrypt_block(schedule, KAT_PLAIN, block);
    int status = std::memcmp(block, KAT_CIPHER, 8) == 0 ? 0 : ERR_GENERAL;
    des3_3key_decrypt_block(schedule, block, block);
    if (std::memcmp(block, KAT_PLAIN, 8) != 0) status = ERR_GENERAL;
    wipe_memory(schedule, sizeof schedule);
    return status;
}
