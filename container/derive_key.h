// Password key derivation: the key is the leading part of SHA-1(password || salt). Encryption
// makes the salt from 25 bytes of the system's random source (platform/random.h); containers
// made before hold the local date and time of encryption as 25 bytes of text, and every reader
// takes the salt's bytes as stored.
#pragma once

#include <cstdint>

constexpr uint32_t CONTAINER_SALT_LENGTH = 25;

// Hashes every byte of the zero-terminated password followed by `salt_length` salt bytes and
// writes the first `key_length` (at most 20) bytes of the digest to `key`. `key` may overlap the
// password: the password is read whole before the key is written. Nothing secret is left on
// the stack.
void derive_key(const char *password, const uint8_t *salt, uint32_t salt_length, uint8_t *key,
                uint32_t key_length);
