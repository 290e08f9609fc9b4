#!/usr/bin/python3
"""Independent writer of .qxv containers, built on Python's `cryptography` (OpenSSL).

Writes every container the stub tests decrypt, each with its plain file, into the folder given
as the only argument:

    NAME.qxv     the container (ciphertext region, trailer, 4-byte offset)
    NAME.plain   the bytes the container decrypts to
    NAME.pass    the password (only where it is not the common one)

The container format: the plain file's whole cipher blocks, the derived key encrypted as the key
check block, then the last S mod B bytes padded with zero bytes and a count byte; all one CBC
stream from a zero IV. The key is the first K bytes of SHA-1(password || salt). The trailer is
DER-style tag-length-value fields: "QXV", the algorithm name, four file-time halves, the salt, the
plain size (up to 8 bytes), "QXVEOF", then the ciphertext length modulo 2^32 as 4 bytes
little-endian.
"""

import hashlib
import os
import struct
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

PASSWORD = b"correct horse battery"
SALT = b"Tue Dec 08 14:43:10 2026\n"
CHUNK = 16384

# name -> (key length, block size, cipher factory)
ALGORITHMS = {
    "DES": (8, 8, lambda key: algorithms.TripleDES(key)),
    "DES3": (16, 8, lambda key: algorithms.TripleDES(key)),
    "AES": (16, 16, lambda key: algorithms.AES(key)),
}


def length_bytes(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 + len(body)]) + body


def tlv(tag, content):
    return bytes([tag]) + length_bytes(len(content)) + content


def text(value):
    return tlv(0x14, value)


def integer(value, width=None):
    """Unsigned big-endian content, no leading zeros (0 is empty) unless a width is forced."""
    if width is None:
        width = (value.bit_length() + 7) // 8
    return tlv(0x02, value.to_bytes(width, "big"))


def derive_key(password, salt, key_length):
    return hashlib.sha1(password + salt).digest()[:key_length]


def ciphertext(algorithm, plain, password, salt):
    key_length, block, factory = ALGORITHMS[algorithm]
    key = derive_key(password, salt, key_length)
    whole = len(plain) // block * block
    rest = plain[whole:]
    pad = block - len(rest)
    stream = plain[:whole] + key + rest + bytes(pad - 1) + bytes([pad])
    encryptor = Cipher(factory(key), modes.CBC(bytes(block))).encryptor()
    return encryptor.update(stream) + encryptor.finalize()


def container(algorithm, plain, password=PASSWORD, salt=SALT, times=(0x5A4B3C2D, 0x01DB6A1F,
              0x6B5C4D3E, 0x01DB6A20), wide_integers=False, name=None, size=None):
    body = ciphertext(algorithm, plain, password, salt)
    width = 4 if wide_integers else None
    trailer = text(b"QXV") + text((name or algorithm).encode())
    trailer += b"".join(integer(t, width) for t in times)
    trailer += tlv(0x04, salt)
    trailer += integer(len(plain) if size is None else size, width)
    trailer += text(b"QXVEOF") + struct.pack("<I", len(body) % (1 << 32))
    return body + trailer


def last_cipher_byte_zero(algorithm, length):
    """Plain bytes whose container has a zero byte just before the trailer."""
    for counter in range(1 << 16):
        plain = (b"zero tail %06d " % counter) * (length // 17 + 1)
        plain = plain[:length]
        if ciphertext(algorithm, plain, PASSWORD, SALT)[-1] == 0:
            return plain
    raise RuntimeError("no plain text found")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = __import__("random").Random(20261208)

    def noise(n):
        return bytes(rng.getrandbits(8) for _ in range(n))

    cases = {
        # several chunks and a remainder that is not a whole block
        "aes_chunks": ("AES", noise(2 * CHUNK + 1234), {}),
        "des_small": ("DES", b"Twenty bytes of text", {}),
        "des3_odd": ("DES3", noise(CHUNK + 7), {}),
        "aes_empty": ("AES", b"", {}),
        "aes_exact_chunk": ("AES", noise(CHUNK), {}),
        "aes_zero_tail": ("AES", last_cipher_byte_zero("AES", 300), {}),
        "des_zero_tail": ("DES", last_cipher_byte_zero("DES", 45), {}),
        # every integer 4 bytes long: an 80-byte trailer, the longest there is
        "des3_trailer80": ("DES3", noise((1 << 24) + 5), {}),
        # a salt of another length than the 25 bytes the writer makes is used whole
        "aes_short_salt": ("AES", b"salt of another length\n", {"salt": SALT[:11]}),
        # the password is used whole, however long
        "aes_long_password": ("AES", b"long password\n", {"password": b"p" * 300}),
        # the password is the typed bytes: UTF-8 on Linux
        "aes_utf8_password": ("AES", b"umlauts\n", {"password": "Grüße, Zoë".encode()}),
        # the same typed in the Windows ANSI code page, the bytes the Windows stub hashes
        "aes_ansi_password": ("AES", b"umlauts\n", {"password": "Grüße, Zoë".encode("cp1252")}),
    }
    for name, (algorithm, plain, options) in cases.items():
        wide = name == "des3_trailer80"
        data = container(algorithm, plain, wide_integers=wide, **options)
        with open(os.path.join(out, name + ".qxv"), "wb") as f:
            f.write(data)
        with open(os.path.join(out, name + ".plain"), "wb") as f:
            f.write(plain)
        if "password" in options:
            with open(os.path.join(out, name + ".pass"), "wb") as f:
                f.write(options["password"])

    # Damaged or foreign files, one defect each, named after the defect.
    good = b"A short text that is encrypted with AES.\n"
    intact = container("AES", good)
    c_field = intact[-4:]
    defects = {
        "defect_unknown_algorithm": container("AES", good, name="RC4"),
        "defect_size_mismatch": container("AES", good, size=len(good) + 16),
        "defect_end_marker": intact[:-12] + text(b"QXVEOX") + c_field,
        "defect_end_not_text": intact[:-12] + b"\x04" + intact[-11:],
        "defect_offset_beyond_end": intact[:-4] + struct.pack("<I", len(intact)),
        "defect_magic": intact.replace(text(b"QXV"), text(b"QXW"), 1),
        "defect_algorithm_tag": intact.replace(text(b"AES"), tlv(0x04, b"AES"), 1),
        "defect_time_tag": intact.replace(integer(0x5A4B3C2D), tlv(0x03, b"\x5a\x4b\x3c\x2d"), 1),
        "defect_salt_tag": intact.replace(tlv(0x04, SALT), tlv(0x14, SALT), 1),
        "defect_size_tag": intact.replace(integer(len(good)) + text(b"QXVEOF"),
                                          tlv(0x04, bytes([len(good)])) + text(b"QXVEOF"), 1),
    }
    for name, data in defects.items():
        assert data != intact, name
        with open(os.path.join(out, name + ".qxv"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
