#!/usr/bin/python3
"""An independent reader and writer of the container layout, built on the `cryptography`
package (Debian's python3-cryptography) and hashlib; it shares no code with the engine.

Both ways: containers that the engine writes must open here, to the byte, and containers
written here (every cipher, long-form lengths, salts of other lengths, integers with a leading
zero byte) must open in the engine. Usage: container_oracle.py PATH/TO/container_tool

Sizes: S is the shortest big-endian integer (up to 8 content bytes); the last 4 bytes hold
C = floor(S / B) * B + K + B modulo 2^32. A bare container's C is the one value congruent to
them that lies below the file size with fewer than 2^32 bytes after it. Files at the size
boundaries are made sparse: only the key check block, the final block and the trailer are
written, after a ciphertext region of zero bytes (valid CBC ciphertext of some plain bytes).
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import unittest

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

TOOL = None
PASSWORD = b"Tr0ub4dor&3"
# name: (algorithm class, key length K, block size B); an 8-byte Triple-DES key is single DES,
# a 16-byte one is two-key Triple-DES (K1 K2 K1).
CIPHERS = {"DES": (algorithms.TripleDES, 8, 8), "DES3": (algorithms.TripleDES, 16, 8),
           "AES": (algorithms.AES, 16, 16)}
MODES = {"DES": ("e", "d"), "DES3": ("E", "D"), "AES": ("A", "C")}
TICKS_1601_TO_1970 = 116444736000000000


def cbc(name, key, data, encrypt):
    algorithm, _, block = CIPHERS[name]
    cipher = Cipher(algorithm(key), modes.CBC(bytes(block)))
    worker = cipher.encryptor() if encrypt else cipher.decryptor()
    return worker.update(data) + worker.finalize()


def derive(password, salt, key_length):
    return hashlib.sha1(password + salt).digest()[:key_length]


class FormatError(Exception):
    pass


def read_length(data, at, strict):
    first = data[at]
    if first < 0x80:
        return first, at + 1
    count = first - 0x80
    if count > 4:
        raise FormatError("length form")
    value = int.from_bytes(data[at + 1:at + 1 + count], "big")
    if strict and (value < 0x80 or data[at + 1] == 0):
        raise FormatError("length not in its shortest form")
    return value, at + 1 + count


def region_length(file_size, stored):
    """C of a bare container from the file size and the stored low 32 bits, or None."""
    fits = [c for c in range(stored, file_size, 1 << 32) if file_size - c < 1 << 32]
    assert len(fits) <= 1
    return fits[0] if fits else None


def open_container(data, password, strict=True):
    """Returns (plain bytes, fields). strict: the encoding must be the canonical one."""
    region = region_length(len(data), int.from_bytes(data[-4:], "little"))
    if region is None:
        raise FormatError("offset")
    at, fields = region, []
    for tag in (0x14, 0x14, 0x02, 0x02, 0x02, 0x02, 0x04, 0x02, 0x14):
        if data[at] != tag:
            raise FormatError("tag %#x at %d" % (data[at], at))
        length, at = read_length(data, at + 1, strict)
        fields.append(data[at:at + length])
        at += length
    if at != len(data) - 4:
        raise FormatError("trailer does not end at the offset field")
    magic, name, c_lo, c_hi, w_lo, w_hi, salt, size, marker = fields
    if magic != b"QXV" or marker != b"QXVEOF":
        raise FormatError("magic")
    for number, most in ((c_lo, 4), (c_hi, 4), (w_lo, 4), (w_hi, 4), (size, 8)):
        if strict and (len(number) > most or number[:1] == b"\0"):
            raise FormatError("integer not minimal")
    name = name.decode()
    _, key_length, block = CIPHERS[name]
    plain_size = int.from_bytes(size, "big")
    whole = plain_size // block * block
    if region != whole + key_length + block:
        raise FormatError("size and offset disagree")
    key = derive(password, salt, key_length)
    plain = cbc(name, key, data[:region], encrypt=False)
    if plain[whole:whole + key_length] != key:
        raise ValueError("wrong password")
    last = plain[whole + key_length:]
    count = last[-1]
    tail = last[:block - count]
    if strict and last != tail + bytes(count - 1) + bytes([count]):
        raise FormatError("padding")
    info = {"name": name, "salt": salt, "size": plain_size,
            "creation": int.from_bytes(c_hi, "big") << 32 | int.from_bytes(c_lo, "big"),
            "write": int.from_bytes(w_hi, "big") << 32 | int.from_bytes(w_lo, "big")}
    return plain[:whole] + tail, info


def field(tag, content, long_form=False):
    if long_form or len(content) >= 0x80:
        count = max(1, (len(content).bit_length() + 7) // 8)
        header = bytes([0x80 + count]) + len(content).to_bytes(count, "big")
    else:
        header = bytes([len(content)])
    return bytes([tag]) + header + content


def integer(value, extra_zeros=0, long_form=False):
    content = value.to_bytes(8, "big").lstrip(b"\0")
    return field(0x02, bytes(extra_zeros) + content, long_form)


def make_container(plain, password, name, salt, creation=0, write=0, long_form=False,
                   extra_zeros=0):
    _, key_length, block = CIPHERS[name]
    key = derive(password, salt, key_length)
    whole = len(plain) // block * block
    tail = plain[whole:]
    count = block - len(tail)
    region = cbc(name, key, plain[:whole] + key + tail + bytes(count - 1) + bytes([count]), True)
    return region + trailer(name, len(plain), salt, creation, write, long_form, extra_zeros)


def trailer(name, plain_size, salt, creation=0, write=0, long_form=False, extra_zeros=0):
    _, key_length, block = CIPHERS[name]
    region = plain_size // block * block + key_length + block
    return (field(0x14, b"QXV", long_form) + field(0x14, name.encode(), long_form) +
            b"".join(integer(v, extra_zeros, long_form) for v in
                     (creation & 0xFFFFFFFF, creation >> 32, write & 0xFFFFFFFF, write >> 32)) +
            field(0x04, salt, long_form) + integer(plain_size, extra_zeros, long_form) +
            # The end marker and C are the last 12 bytes: the end marker is always short.
            field(0x14, b"QXVEOF") + (region % (1 << 32)).to_bytes(4, "little"))


def write_sparse_container(path, name, plain_size, password, prefix=b""):
    """A container of S = plain_size whose data blocks are zero bytes, left as a hole."""
    _, key_length, block = CIPHERS[name]
    salt = b"sparse salt of 25 bytes.."
    key = derive(password, salt, key_length)
    left = plain_size % block
    # Chained to a zero ciphertext block (or the zero IV): the same as CBC from a zero IV.
    end = cbc(name, key, key + bytes(left) + bytes(block - left - 1) + bytes([block - left]),
              True)
    region = plain_size // block * block + key_length + block
    with open(path, "wb") as out:
        out.write(prefix)
        out.seek(len(prefix) + region - len(end))
        out.write(end + trailer(name, plain_size, salt))
    return region


def boundary_sizes(name):
    _, key_length, block = CIPHERS[name]
    # The largest S whose C still fits 4 bytes: floor(S / B) * B <= 2^32 - 1 - K - B.
    largest = (((1 << 32) - 1 - key_length - block) // block) * block + block - 1
    return [(1 << 31) - 1, 1 << 31, largest, largest + 1, 1 << 32, (1 << 32) + 1]


def run_tool(mode, source, target, password=PASSWORD):
    return subprocess.run([TOOL, mode, source, target, password]).returncode


def pattern(size, seed):
    return hashlib.shake_256(b"%d-%d" % (size, seed)).digest(size) if size else b""


SIZES = [0, 1, 7, 8, 9, 15, 16, 17, 20, 100, 16383, 16384, 16385, 16391, 32768, 50000]


class EngineWritesOracleReads(unittest.TestCase):
    def test_every_cipher_and_boundary_size(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "plain")
            for name in CIPHERS:
                for size in SIZES:
                    with self.subTest(name=name, size=size):
                        original = pattern(size, 1)
                        with open(path, "wb") as out:
                            out.write(original)
                        mtime_ns = 1300000000123456700
                        os.utime(path, ns=(mtime_ns, mtime_ns))
                        self.assertEqual(run_tool(MODES[name][0], path, ""), 0)
                        with open(path, "rb") as container:
                            data = container.read()
                        plain, info = open_container(data, PASSWORD)
                        self.assertEqual(plain, original)
                        self.assertEqual(info["name"], name)
                        self.assertEqual(len(info["salt"]), 25)
                        self.assertEqual(info["write"], TICKS_1601_TO_1970 + mtime_ns // 100)
                        self.assertEqual(os.stat(path).st_mtime_ns, mtime_ns)
                        with self.assertRaises(ValueError):
                            open_container(data, PASSWORD + b"x")


class OracleWritesEngineReads(unittest.TestCase):
    def check(self, data, original, write_time, mode="C"):
        with tempfile.TemporaryDirectory() as folder:
            source, target = os.path.join(folder, "c.qxv"), os.path.join(folder, "out")
            with open(source, "wb") as out:
                out.write(data)
            self.assertEqual(run_tool(mode, source, target), 0)
            with open(target, "rb") as result:
                self.assertEqual(result.read(), original)
            self.assertEqual(os.stat(target).st_mtime_ns,
                             (write_time - TICKS_1601_TO_1970) * 100)

    def test_ciphers_sizes_and_encodings(self):
        salt = b"Tue Dec 08 09:10:11 2026\n"
        write = TICKS_1601_TO_1970 + 17000000000000000
        for name in CIPHERS:
            for size in (0, 5, 16, 20, 16391, 40000):
                for long_form, zeros in ((False, 0), (True, 0), (False, 1), (True, 2)):
                    with self.subTest(name=name, size=size, long_form=long_form, zeros=zeros):
                        original = pattern(size, 2)
                        data = make_container(original, PASSWORD, name, salt,
                                              creation=write - 5, write=write,
                                              long_form=long_form, extra_zeros=zeros)
                        # The trailer names the cipher; the mode letter does not matter.
                        self.check(data, original, write, mode=MODES[name][1])
                        self.check(data, original, write, mode="d")

    def test_salts_of_other_lengths(self):
        write = TICKS_1601_TO_1970 + 16000000000000000
        for length in (1, 24, 26, 127, 128, 255):
            with self.subTest(length=length):
                original = pattern(1000, length)
                data = make_container(original, PASSWORD, "AES", pattern(length, 9), write=write)
                self.check(data, original, write)

    def test_refusals(self):
        original = pattern(300, 3)
        cases = [
            ("wrong password", make_container(original, b"other", "AES", b"s" * 25), 4),
            ("salt of 256 bytes", make_container(original, PASSWORD, "AES", b"s" * 256), 3),
            ("integer of 5 significant bytes",
             make_container(original, PASSWORD, "AES", b"s" * 25).replace(
                 b"\x02\x02\x01\x2c", b"\x02\x05\x01\x00\x00\x01\x2c"), 3),
        ]
        with tempfile.TemporaryDirectory() as folder:
            source, target = os.path.join(folder, "c.qxv"), os.path.join(folder, "out")
            for what, data, code in cases:
                with self.subTest(what=what):
                    with open(source, "wb") as out:
                        out.write(data)
                    self.assertEqual(run_tool("C", source, target), code)
                    self.assertFalse(os.path.exists(target))


class SizeBoundaries(unittest.TestCase):
    def locate(self, path):
        out = subprocess.run([TOOL, "locate", path, PASSWORD], capture_output=True, check=True)
        return {line.split()[0]: [int(v) for v in line.split()[1:]]
                for line in out.stdout.decode().splitlines()}

    def test_trailer_bytes_at_the_boundaries(self):
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "trailer")
            for name in CIPHERS:
                for size in boundary_sizes(name):
                    with self.subTest(name=name, size=size):
                        self.assertEqual(subprocess.run([TOOL, "trailer", name, str(size), out])
                                         .returncode, 0)
                        with open(out, "rb") as written:
                            self.assertEqual(written.read(), trailer(
                                name, size, bytes(range(25)), 0x0123456789ABCDEF,
                                0xFEDCBA9876543210))

    def test_containers_found_and_keys_checked_at_the_boundaries(self):
        stub = b"MZ" + pattern(4093, 7)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "sparse")
            for name in ("AES", "DES3"):
                for size in boundary_sizes(name):
                    for prefix in (b"", stub):
                        with self.subTest(name=name, size=size, prefix=len(prefix)):
                            region = write_sparse_container(path, name, size, PASSWORD, prefix)
                            file_size = os.path.getsize(path)
                            if not prefix:
                                stored = region % (1 << 32)
                                self.assertEqual(region_length(file_size, stored), region)
                            found = self.locate(path)
                            self.assertEqual(found["find"], [0, len(prefix), size, region])
                            self.assertEqual(found["key"], [0])
                            if prefix:
                                self.assertNotEqual(found["read"][0], 0)
                            else:
                                self.assertEqual(found["read"], [0, 0, size, region])
                            # A stored C off by one block is refused by both readers.
                            with open(path, "r+b") as damage:
                                damage.seek(-4, os.SEEK_END)
                                damage.write(((region + 16) % (1 << 32)).to_bytes(4, "little"))
                            found = self.locate(path)
                            self.assertNotEqual(found["read"][0], 0)
                            self.assertNotEqual(found["find"][0], 0)
                            os.remove(path)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main(verbosity=1)
