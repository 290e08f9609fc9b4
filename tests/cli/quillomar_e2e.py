#!/usr/bin/python3
"""End-to-end tests of the built `quillomar` on temporary folders.

    quillomar_e2e.py QUILLOMAR [RUNNER ...]

QUILLOMAR is the built program; RUNNER (for the Windows build: tools/wine-run PREFIX) is put
before it. Under a runner, paths are handed over as Windows paths on drive Z:, and the messages
are checked with those paths. Containers are checked against an independent reader and writer
built on Python's `cryptography` (OpenSSL).
"""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "stub"))
import write_containers  # noqa: E402  (the independent container writer)

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

PROGRAM = None
RUNNER = []
WINDOWS = False
PASSWORD = "correct horse battery"


def native(path):
    """The path as the program under test names it."""
    if not WINDOWS:
        return path
    return "Z:" + path.replace("/", "\\")


def read_tlv(data, at):
    tag = data[at]
    length = data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, data[at:at + length], at + length


def independent_decrypt(container, password):
    """Reads a container without our code: the plain bytes, or None for a wrong password."""
    region = int.from_bytes(container[-4:], "little")
    fields = []
    at = region
    while len(fields) < 9:
        tag, content, at = read_tlv(container, at)
        fields.append((tag, content))
    assert fields[0] == (0x14, b"QXV") and fields[8] == (0x14, b"QXVEOF")
    algorithm = fields[1][1].decode()
    salt = fields[6][1]
    size = int.from_bytes(fields[7][1], "big")
    key_length, block, factory = write_containers.ALGORITHMS[algorithm]
    key = hashlib.sha1(password.encode() + salt).digest()[:key_length]
    decryptor = Cipher(factory(key), modes.CBC(bytes(block))).decryptor()
    stream = decryptor.update(container[:region]) + decryptor.finalize()
    whole = size // block * block
    if stream[whole:whole + key_length] != key:
        return None
    return stream[:whole] + stream[whole + key_length:][:size - whole]


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.out = completed.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        self.err = completed.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
        self.boxes = [line for line in self.err.splitlines() if line]


class ScratchTest(unittest.TestCase):
    """A scratch folder `w` and a settings folder of the test's own."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qxv-cli-")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.dir, ".config"))
        self.work = os.path.join(self.dir, "w")
        os.mkdir(self.work)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def p(self, name):
        return os.path.join(self.work, name)

    def n(self, name):
        return native(self.p(name))

    def write(self, name, data):
        path = self.p(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())
        return path

    def read(self, name):
        with open(self.p(name), "rb") as f:
            return f.read()

    def files(self):
        found = []
        for root, _, names in os.walk(self.work):
            for name in names:
                found.append(os.path.relpath(os.path.join(root, name), self.work))
        return sorted(found)


class QuillomarTest(ScratchTest):
    def container(self, name, plain, password=PASSWORD):
        """A container from the independent writer."""
        return self.write(name, write_containers.container("AES", plain, password.encode()))

    def run_q(self, *args, password=PASSWORD, stdin=None):
        command = RUNNER + [PROGRAM] + list(args)
        if password is not None and stdin is None:
            stdin = (password + "\n").encode()
        completed = subprocess.run(command, input=stdin or b"", capture_output=True,
                                   env=self.env, timeout=120)
        return Run(completed)

    def crypt(self, command, *items, password=PASSWORD, options=()):
        options = list(options)
        if WINDOWS and not {"--exe", "--no-exe", "--keep", "--no-keep"} & set(options):
            # The registry is shared with every other test: no stored option may count.
            options.append("--no-exe" if command == "encrypt" else "--no-keep")
        return self.run_q(command, "--password-file", "-", "--quiet", *options,
                          *[self.n(i) for i in items], password=password)

    def invalid(self, name, last=False):
        text = "Invalid Password: Invalid password used for file: " + self.n(name) + "."
        return text if last else text + " Continue with the next file?"

    # --- encryption and decryption ---
    def test_round_trip_is_readable_by_an_independent_reader(self):
        plain = bytes(range(256)) * 70 + b"tail"
        self.write("notes.txt", plain)
        result = self.crypt("encrypt", "notes.txt")
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), ["notes.txt.qxv"])
        self.assertEqual(independent_decrypt(self.read("notes.txt.qxv"), PASSWORD), plain)
        self.assertIsNone(independent_decrypt(self.read("notes.txt.qxv"), "wrong password"))

        result = self.crypt("decrypt", "notes.txt.qxv")
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), ["notes.txt"])
        self.assertEqual(self.read("notes.txt"), plain)

    def test_names_beyond_ascii(self):
        self.write("été/notes é.txt", "ünïcode")
        self.container("été/Ωmega.qxv", b"omega", password="other password")
        result = self.crypt("encrypt", "été")
        self.assertEqual((result.status, result.boxes), (0, []))
        result = self.crypt("decrypt", "été/notes é.txt.qxv", "été/Ωmega.qxv")
        self.assertEqual((result.status, result.boxes), (1, [self.invalid("été/Ωmega.qxv", True)]))
        self.assertEqual(self.read("été/notes é.txt"), "ünïcode".encode())

    def test_containers_of_the_independent_writer_decrypt(self):
        for size in (0, 1, 15, 16, 17, 40000):
            plain = bytes((i * 7 + size) % 256 for i in range(size))
            self.container("f%d.qxv" % size, plain)
        result = self.crypt("decrypt", *["f%d.qxv" % s for s in (0, 1, 15, 16, 17, 40000)])
        self.assertEqual((result.status, result.boxes), (0, []))
        for size in (0, 1, 15, 16, 17, 40000):
            self.assertEqual(self.read("f%d" % size),
                             bytes((i * 7 + size) % 256 for i in range(size)))

    def test_encrypting_skips_containers_silently(self):
        self.container("old.qxv", b"already encrypted")
        before = self.read("old.qxv")
        self.write("name", b"plain")
        result = self.crypt("encrypt", "old.qxv", "name")
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), ["name.qxv", "old.qxv"])
        self.assertEqual(self.read("old.qxv"), before)

    def test_decrypted_names_and_plain_files_skipped(self):
        self.container("report.doc.qxv", b"one")
        self.container("REPORT2.DOC.QXV", b"two")
        self.container("mail.bin", b"three")
        self.container("noext", b"four")
        self.container(".qxv", b"five")
        self.write("plain.txt", b"not a container")
        result = self.crypt("decrypt", "report.doc.qxv", "REPORT2.DOC.QXV", "mail.bin", "noext",
                            ".qxv", "plain.txt")
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), [".qxv.dec", "REPORT2.DOC", "mail.bin.dec", "noext.dec",
                                        "plain.txt", "report.doc"])
        self.assertEqual(self.read("REPORT2.DOC"), b"two")
        self.assertEqual(self.read("mail.bin.dec"), b"three")
        self.assertEqual(self.read(".qxv.dec"), b"five")

    def test_keep_option_keeps_the_container(self):
        self.container("a.qxv", b"kept")
        result = self.crypt("decrypt", "a.qxv", options=["--keep"])
        self.assertEqual(result.status, 0)
        self.assertEqual(self.files(), ["a", "a.qxv"])

    def test_stored_option_is_used_when_none_is_given(self):
        self.container("a.qxv", b"1")
        self.container("b.qxv", b"2")
        self.crypt("decrypt", "a.qxv", options=["--keep"])
        self.crypt("decrypt", "b.qxv")
        self.assertEqual(self.files(), ["a", "a.qxv", "b", "b.qxv"])
        self.container("c.qxv", b"3")
        self.crypt("decrypt", "c.qxv", options=["--no-keep"])
        self.assertNotIn("c.qxv", self.files())

    # --- replacing existing files ---
    def test_decrypt_over_an_existing_file_asks_and_no_keeps_both(self):
        self.container("report.doc.qxv", b"new")
        self.write("report.doc", b"old")
        question = ("File Exist: Decrypted  file for: " + self.n("report.doc.qxv") +
                    " already exists. Replace existing file?")
        result = self.crypt("decrypt", "report.doc.qxv")
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.read("report.doc"), b"old")
        self.assertEqual(self.files(), ["report.doc", "report.doc.qxv"])

        result = self.crypt("decrypt", "report.doc.qxv", options=["--yes"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.files(), ["report.doc"])
        self.assertEqual(self.read("report.doc"), b"new")

    def test_failed_decryption_keeps_the_file_it_was_to_replace(self):
        self.container("r.qxv", b"new", password="another password")
        self.write("r", b"old")
        result = self.crypt("decrypt", "r.qxv", options=["--yes"])
        self.assertEqual(result.status, 1)
        self.assertEqual(result.boxes[-1], self.invalid("r.qxv", last=True))
        self.assertEqual(self.files(), ["r", "r.qxv"])
        self.assertEqual(self.read("r"), b"old")

    def test_encrypt_over_an_existing_container_asks(self):
        self.write("n", b"plain")
        self.container("n.qxv", b"older")
        before = self.read("n.qxv")
        question = ("File Exist: Encrypted  file for: " + self.n("n") +
                    " already exists. Replace existing file?")
        result = self.crypt("encrypt", "n")
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.read("n.qxv"), before)
        self.assertEqual(self.read("n"), b"plain")

        result = self.crypt("encrypt", "n", options=["--yes"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.files(), ["n.qxv"])
        self.assertEqual(independent_decrypt(self.read("n.qxv"), PASSWORD), b"plain")

    # --- never a success while a file stays plain, never a half-done file left ---
    def test_an_output_name_that_cannot_take_the_container_leaves_the_file_plain(self):
        makers = [("folder", os.mkdir)]
        if not WINDOWS:
            makers += [("dangling link", lambda path: os.symlink("nowhere", path)),
                       ("link to a file", lambda path: os.symlink("other", path))]
        for what, make in makers:
            with self.subTest(what):
                shutil.rmtree(self.work)
                os.mkdir(self.work)
                self.write("n", b"plain")
                self.write("other", b"other")
                make(self.p("n.qxv"))
                result = self.crypt("encrypt", "n", options=["--yes"])
                self.assertEqual((result.status, result.boxes), (1, [
                    "Cannot write file: Cannot write file: " + self.n("n.qxv") + ".",
                    "Cannot Process File: Cannot process file: " + self.n("n") + "."]))
                self.assertEqual(self.files(), ["n", "other"] if what == "folder" else
                                 ["n", "n.qxv", "other"])
                self.assertEqual((self.read("n"), self.read("other")), (b"plain", b"other"))
                self.assertEqual(os.path.islink(self.p("n.qxv")), what != "folder")

    def test_a_hard_linked_file_is_refused(self):
        self.write("a", b"shared")
        os.link(self.p("a"), self.p("b"))
        result = self.crypt("encrypt", "a")
        self.assertEqual(result.status, 1)
        self.assertEqual(result.boxes[0], "File has other names: Cannot encrypt file: " +
                         self.n("a") + ". It has other names (hard links), which encryption "
                         "would change too. Encrypt a copy instead.")
        self.assertEqual(self.files(), ["a", "b"])
        self.assertEqual((self.read("a"), self.read("b")), (b"shared", b"shared"))

    def test_what_killed_runs_left_is_removed_and_the_work_done(self):
        plain = b"secret " * 3000
        self.container("r.qxv", plain)
        self.write("r.qxvpart", plain[:5000])  # a decryption killed halfway
        self.write("n", b"plain n")
        self.write("n.qxvj.tmp", bytes(128))  # an encryption killed before its journal's rename
        result = self.crypt("decrypt", "r.qxv")
        self.assertEqual((result.status, result.boxes), (0, []))
        result = self.crypt("encrypt", "n")
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), ["n.qxv", "r"])
        self.assertEqual(self.read("r"), plain)
        self.assertEqual(independent_decrypt(self.read("n.qxv"), PASSWORD), b"plain n")

    def test_a_file_named_like_a_journal_is_never_taken_for_one(self):
        for content in (b"", bytes(300), b"my notes"):
            with self.subTest(content=content[:8]):
                self.write("n", b"plain")
                self.write("n.qxvj", content)
                result = self.crypt("decrypt", "n")
                self.assertEqual(result.status, 0)
                self.assertNotIn("Interrupted", result.err)
                result = self.crypt("encrypt", "n")
                self.assertEqual(result.status, 1)
                self.assertEqual(result.boxes[0], "Journal name taken: Cannot encrypt file: " +
                                 self.n("n") + ". Another file holds the name of its journal "
                                 "(the name with .qxvj added).")
                self.assertEqual(self.files(), ["n", "n.qxvj"])
                self.assertEqual((self.read("n"), self.read("n.qxvj")), (b"plain", content))

    # --- wrong passwords ---
    def three_containers(self, wrong):
        for name in ("a.qxv", "b.qxv", "c.qxv"):
            self.container(name, name.encode(), "other password" if name == wrong else PASSWORD)

    def test_wrong_password_in_the_middle_ok_goes_on(self):
        self.three_containers("b.qxv")
        result = self.crypt("decrypt", "a.qxv", "b.qxv", "c.qxv")
        self.assertEqual((result.status, result.boxes), (1, [self.invalid("b.qxv")]))
        self.assertEqual(self.files(), ["a", "b.qxv", "c"])

    def test_wrong_password_in_the_middle_cancel_stops(self):
        self.three_containers("b.qxv")
        result = self.crypt("decrypt", "a.qxv", "b.qxv", "c.qxv", options=["--stop-on-error"])
        self.assertEqual((result.status, result.boxes),
                         (1, [self.invalid("b.qxv"), "Advisory: Action cancelled"]))
        self.assertEqual(self.files(), ["a", "b.qxv", "c.qxv"])

    def test_wrong_password_on_the_first_file(self):
        self.three_containers("a.qxv")
        result = self.crypt("decrypt", "a.qxv", "b.qxv", "c.qxv", options=["--stop-on-error"])
        self.assertEqual(result.boxes, [self.invalid("a.qxv"), "Advisory: Action cancelled"])
        self.assertEqual(self.files(), ["a.qxv", "b.qxv", "c.qxv"])
        self.three_containers("a.qxv")
        result = self.crypt("decrypt", "a.qxv", "b.qxv", "c.qxv")
        self.assertEqual((result.status, result.boxes), (1, [self.invalid("a.qxv")]))
        self.assertEqual(self.files(), ["a.qxv", "b", "c"])

    def test_wrong_password_on_the_last_file_offers_only_ok(self):
        for options in ([], ["--stop-on-error"]):
            self.three_containers("c.qxv")
            result = self.crypt("decrypt", "a.qxv", "b.qxv", "c.qxv", options=options)
            self.assertEqual((result.status, result.boxes),
                             (1, [self.invalid("c.qxv", last=True)]))
            self.assertEqual(self.files(), ["a", "b", "c.qxv"])
            for name in ("a", "b"):
                os.remove(self.p(name))

    # --- folders ---
    def test_folder_files_in_case_insensitive_order_at_every_depth(self):
        names = ["top/b.txt", "top/A.txt", "top/sub/Z.txt", "top/Sub2/a.txt", "top/.hidden",
                 "top/sub/deeper/m.txt", "top/c"]
        for name in names:
            self.container(name, name.encode(), password="other password")
        result = self.crypt("decrypt", "top")
        expected = sorted(names, key=lambda n: self.n(n).lower())
        self.assertEqual(result.boxes,
                         [self.invalid(n, last=(n == expected[-1])) for n in expected])
        self.assertEqual(result.status, 1)

    def test_folder_round_trip_includes_hidden_files(self):
        names = ["d/.hidden", "d/x/y/z", "d/B"]
        for name in names:
            self.write(name, name.encode())
        self.assertEqual(self.crypt("encrypt", "d/").status, 0)
        self.assertEqual(self.files(), sorted(n + ".qxv" for n in names))
        self.assertEqual(self.crypt("decrypt", "d").status, 0)
        self.assertEqual(self.files(), sorted(names))
        for name in names:
            self.assertEqual(self.read(name), name.encode())

    def test_cancel_inside_a_folder_stops_it_and_the_batch(self):
        for name in ("f/1.qxv", "f/2.qxv", "f/3.qxv", "g.qxv"):
            self.container(name, b"x", "other password" if name == "f/2.qxv" else PASSWORD)
        result = self.crypt("decrypt", "f", "g.qxv", options=["--stop-on-error"])
        self.assertEqual(result.boxes, [self.invalid("f/2.qxv"), "Advisory: Action cancelled"])
        self.assertEqual(self.files(), ["f/1", "f/2.qxv", "f/3.qxv", "g.qxv"])

    # --- the self-decrypting executable ---
    def test_exe_option_leaves_only_the_executable(self):
        plain = b"for the recipient\n" * 1000
        self.write("name.txt", plain)
        result = self.crypt("encrypt", "name.txt", options=["--exe"])
        self.assertEqual((result.status, result.boxes), (0, []))
        self.assertEqual(self.files(), ["name.txt.exe"])
        stub = os.path.join(os.path.dirname(PROGRAM), "qxvsd.exe" if WINDOWS else "qxvsd")
        with open(stub, "rb") as f:
            stub_bytes = f.read()
        exe = self.read("name.txt.exe")
        self.assertEqual(exe[:len(stub_bytes)], stub_bytes)
        self.assertEqual(independent_decrypt(exe[len(stub_bytes):], PASSWORD), plain)
        if not WINDOWS:
            os.chmod(self.p("name.txt.exe"), 0o755)
            subprocess.run([self.p("name.txt.exe")], input=(PASSWORD + "\n\n").encode(),
                           capture_output=True, timeout=60,
                           env=dict(self.env, PATH="/nonexistent"))
            self.assertEqual(self.read("name.txt"), plain)

    def test_exe_option_asks_about_an_existing_executable(self):
        self.write("n", b"plain")
        self.write("n.exe", b"old program")
        question = ("EXE file Exist: EXE-file: " + self.n("n") +
                    ".exe already exists. Replace existing file?")
        result = self.crypt("encrypt", "n", options=["--exe"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.files(), ["n", "n.exe"])
        self.assertEqual(self.read("n.exe"), b"old program")
        result = self.crypt("encrypt", "n", options=["--exe", "--yes"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.files(), ["n.exe"])
        self.assertNotEqual(self.read("n.exe"), b"old program")

    def test_exe_option_asks_about_an_existing_container(self):
        self.write("n", b"plain")
        self.container("n.qxv", b"older")
        question = ("File Exist: Encrypted  file for: " + self.n("n") +
                    " already exists. Replace existing file?")
        result = self.crypt("encrypt", "n", options=["--exe"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        self.assertEqual(self.files(), ["n", "n.qxv"])
        result = self.crypt("encrypt", "n", options=["--exe", "--yes"])
        self.assertEqual((result.status, result.boxes), (0, [question]))
        # The container took the old one's place and stays, as a container of that name did.
        self.assertEqual(self.files(), ["n.exe", "n.qxv"])
        self.assertEqual(independent_decrypt(self.read("n.qxv"), PASSWORD), b"plain")

    # --- refusals, info, usage ---
    def test_short_password_touches_nothing(self):
        self.write("a", b"plain")
        result = self.crypt("encrypt", "a", password="short")
        self.assertEqual(result.status, 1)
        self.assertEqual(self.files(), ["a"])
        self.assertEqual(self.read("a"), b"plain")

    def test_exe_without_the_stub_touches_nothing(self):
        lonely = os.path.join(self.dir, "bin", os.path.basename(PROGRAM))
        os.mkdir(os.path.dirname(lonely))
        shutil.copy(PROGRAM, lonely)
        self.write("a", b"plain")
        completed = subprocess.run(RUNNER + [lonely, "encrypt", "--quiet", "--exe",
                                             "--password-file", "-", self.n("a")],
                                   input=(PASSWORD + "\n").encode(), capture_output=True,
                                   env=self.env, timeout=60)
        self.assertEqual(completed.returncode, 1)
        self.assertIn(b"self-decrypting", completed.stderr)
        self.assertEqual(self.files(), ["a"])

    def test_missing_path_touches_nothing(self):
        self.write("a", b"plain")
        result = self.crypt("encrypt", "a", "missing")
        self.assertEqual(result.status, 1)
        self.assertIn("missing", result.err)
        self.assertEqual(self.files(), ["a"])

    def test_old_format_is_refused(self):
        self.write("old.qxv", b"\x14\x03QXV\x14\x03DES" + bytes(40))
        result = self.crypt("decrypt", "old.qxv")
        self.assertEqual(result.boxes, ["Old format: Cannot Decrypt. Old format encountered in "
                                        "file: " + self.n("old.qxv") + "."])
        self.assertEqual(result.status, 1)
        self.assertEqual(self.files(), ["old.qxv"])

    def test_password_file_first_line_without_line_end(self):
        self.write("a", b"plain")
        with open(os.path.join(self.dir, "pw"), "wb") as f:
            f.write((PASSWORD + "\r\nsecond line\n").encode())
        result = self.run_q("encrypt", "--quiet", "--password-file",
                            native(os.path.join(self.dir, "pw")), self.n("a"))
        self.assertEqual(result.status, 0)
        self.assertEqual(independent_decrypt(self.read("a.qxv"), PASSWORD), b"plain")

    def test_info(self):
        self.container("c.qxv", b"x")
        self.write("old", b"\x14\x03QXV\x14\x03DES" + bytes(8))
        self.write("plain.txt", b"hello")
        os.mkdir(self.p("folder"))
        result = self.run_q("info", self.n("c.qxv"))
        self.assertEqual((result.status, result.out),
                         (0, "Quillomar type : \tQuillomar encrypted file\nAlgorithm: \tAES\n"))
        result = self.run_q("info", self.n("old"))
        self.assertEqual((result.status, result.out),
                         (0, "Quillomar type : \tQuillomar (old type) encrypted file\n"
                             "Algorithm: \tDES\n"))
        result = self.run_q("info", self.n("plain.txt"))
        self.assertEqual((result.status, result.out),
                         (1, "File: " + self.n("plain.txt") +
                          " is not an valid Quillomar file\n"))
        result = self.run_q("info", self.n("missing"))
        self.assertEqual((result.status, result.out),
                         (1, "Quillomar type : \tQuillomar Error\nAlgorithm: \t\n"))
        result = self.run_q("info", self.n("folder"))
        self.assertEqual((result.status, result.out), (1, ""))

    def test_usage_errors_exit_2(self):
        for args in ([], ["encrypt"], ["frobnicate", "x"], ["encrypt", "--keep", "x"],
                     ["decrypt", "--exe", "x"], ["encrypt", "--exe", "--no-exe", "x"],
                     ["encrypt", "--yes", "--no", "x"], ["info", "a", "b"],
                     ["encrypt", "--password-file"], ["encrypt", "--bogus", "x"]):
            result = self.run_q(*args, password=None)
            self.assertEqual(result.status, 2, args)
            self.assertIn("usage: quillomar", result.err)

    def test_help_and_version(self):
        result = self.run_q("--help", password=None)
        self.assertEqual(result.status, 0)
        for word in ("encrypt", "decrypt", "info", "--exe", "--no-exe", "--keep", "--no-keep",
                     "--password-file", "--yes", "--no", "--stop-on-error", "--quiet",
                     "Example"):
            self.assertIn(word, result.out)
        result = self.run_q("--version", password=None)
        self.assertEqual(result.status, 0)
        self.assertIn("Version 2.1", result.out)


# A representative subset for the Windows program under Wine.
WINE_SUBSET = [
    "test_round_trip_is_readable_by_an_independent_reader",
    "test_decrypted_names_and_plain_files_skipped",
    "test_names_beyond_ascii",
    "test_decrypt_over_an_existing_file_asks_and_no_keeps_both",
    "test_wrong_password_in_the_middle_cancel_stops",
    "test_wrong_password_on_the_last_file_offers_only_ok",
    "test_folder_files_in_case_insensitive_order_at_every_depth",
    "test_exe_option_leaves_only_the_executable",
    "test_info",
    "test_usage_errors_exit_2",
    "test_an_output_name_that_cannot_take_the_container_leaves_the_file_plain",
    "test_a_hard_linked_file_is_refused",
    "test_what_killed_runs_left_is_removed_and_the_work_done",
    "test_a_file_named_like_a_journal_is_never_taken_for_one",
]


def main():
    global PROGRAM, RUNNER, WINDOWS
    PROGRAM = os.path.abspath(sys.argv[1])
    RUNNER = sys.argv[2:]
    WINDOWS = PROGRAM.lower().endswith(".exe")
    loader = unittest.TestLoader()
    if WINDOWS:
        suite = unittest.TestSuite(QuillomarTest(name) for name in WINE_SUBSET)
    else:
        suite = loader.loadTestsFromTestCase(QuillomarTest)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
