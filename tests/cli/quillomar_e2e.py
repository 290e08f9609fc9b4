#!/usr/bin/python3
"""End-to-end tests of the built `quillomar` on temporary folders.

    quillomar_e2e.py QUILLOMAR [RUNNER ...]

QUILLOMAR is the built program; RUNNER (for the Windows build: tools/wine-run PREFIX) is put
before it. Under a runner, paths are handed over as Windows paths on drive Z:, and the messages
are checked with those paths. Containers are checked against an independent reader and writer
built on Python's `cryptography` (OpenSSL).
"""

import atexit
import hashlib
import json
import os
import re
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

    def test_awkward_names_round_trip(self):
        # Spaces, quotes, a leading "-" (after "--") and a name that is not UTF-8.
        work = os.fsencode(self.work)
        names = [b"a b.txt", b"it's \"quoted\".txt", b"-leading dash", b"latin\xe9.txt"]
        for i, name in enumerate(names):
            with open(os.path.join(work, name), "wb") as f:
                f.write(b"plain %d" % i)
        stdin = (PASSWORD + "\n").encode()

        def run(command, suffix):
            paths = [os.path.join(work, name + suffix) for name in names]
            return subprocess.run(RUNNER + [PROGRAM, command, "--password-file", "-", "--quiet",
                                            "--"] + paths,
                                  input=stdin, capture_output=True, env=self.env, timeout=120)

        self.assertEqual(run("encrypt", b"").returncode, 0)
        self.assertEqual(sorted(os.listdir(work)), sorted(n + b".qxv" for n in names))
        for i, name in enumerate(names):
            with open(os.path.join(work, name + b".qxv"), "rb") as f:
                self.assertEqual(independent_decrypt(f.read(), PASSWORD), b"plain %d" % i)
        self.assertEqual(run("decrypt", b".qxv").returncode, 0)
        self.assertEqual(sorted(os.listdir(work)), sorted(names))

    def test_containers_of_the_independent_writer_decrypt(self):
        for size in (0, 1, 15, 16, 17, 40000):
            plain = bytes((i * 7 + size) % 256 for i in range(size))
            self.container("f%d.qxv" % size, plain)
        result = self.crypt("decrypt", *["f%d.qxv" % s for s in (0, 1, 15, 16, 17, 40000)])
        self.assertEqual((result.status, result.boxes), (0, []))
        for size in (0, 1, 15, 16, 17, 40000):
            self.assertEqual(self.read("f%d" % size),
                             bytes((i * 7 + size) % 256 for i in range(size)))

    def test_encrypting_skips_a_named_container_and_says_so(self):
        self.container("old.qxv", b"already encrypted")
        before = self.read("old.qxv")
        self.write("name", b"plain")
        result = self.crypt("encrypt", "old.qxv", "name")
        self.assertEqual((result.status, result.boxes),
                         (0, ["quillomar: " + self.n("old.qxv") + ": already encrypted, skipped"]))
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
        self.assertEqual((result.status, result.boxes),
                         (0, ["quillomar: " + self.n("plain.txt") +
                              ": not an encrypted file, skipped"]))
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

    # --- files side by side ---
    def test_files_side_by_side_show_and_leave_what_one_at_a_time_does(self):
        """A folder with every kind of outcome: the boxes, their order and the files left are
        the same whether the files run one after another or side by side; so is a batch that
        the first failure cancels (the files after it stay plain)."""
        def make_tree():
            shutil.rmtree(self.work)
            os.mkdir(self.work)
            plain = {}
            for i in range(40):
                name = "f/n%02d" % i
                plain[name] = os.urandom([0, 1, 15, 16, 4096, 70000][i % 6] + i)
                self.write(name, plain[name])
            plain["f/n07"] = os.urandom(5 << 20)  # a large one among them
            self.write("f/n07", plain["f/n07"])
            self.write("f/n12.qxvj", b"my notes")  # its journal's name is taken: it fails
            self.write("f/n20.qxv", b"not a container")  # the output exists: asked, kept
            os.remove(self.p("f/n30"))
            del plain["f/n30"]
            self.container("f/n30.qxv", b"thirty")  # encrypted already: skipped
            self.write("f/n31.qxv.qxv", b"plain")  # the name of the container beside it
            return plain

        outcomes = {}
        for stop in ([], ["--stop-on-error"]):
            for jobs in ("1", "16"):
                plain = make_tree()
                result = self.crypt("encrypt", "f", options=["--jobs", jobs, "--no"] + stop)
                left = {}
                for name in self.files():
                    data = self.read(name)
                    base = name[:-4] if name.endswith(".qxv") else name
                    if base in plain and name not in (base, "f/n20.qxv"):
                        self.assertEqual(independent_decrypt(data, PASSWORD), plain[base], name)
                    left[name] = len(data) if name == base else "container"
                outcomes[jobs] = (result.status, result.boxes, left)
            self.assertEqual(outcomes["1"], outcomes["16"], stop)
            status, boxes, left = outcomes["1"]
            self.assertEqual(status, 1)
            self.assertTrue(boxes[0].startswith("Journal name taken:"), boxes)
            self.assertTrue(boxes[1].startswith("Cannot Process File:"), boxes)
            self.assertEqual(len(boxes), 2 if stop else 3)
            self.assertTrue(stop or boxes[2].startswith("File Exist:") and "n20" in boxes[2])
            self.assertEqual(left["f/n11.qxv"], "container")
            self.assertEqual(left["f/n13" if stop else "f/n13.qxv"],
                             len(plain["f/n13"]) if stop else "container")
            self.assertEqual("f/n39.qxv" in left, not stop)

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

    # --- hostile inputs ---
    def test_damaged_and_foreign_containers_are_refused_and_named(self):
        good = write_containers.container("AES", b"plain bytes", PASSWORD.encode())
        named = {
            "cut.qxv": good[:-1],
            "foreign.qxv": b"not a container at all",
            "xyz.qxv": good.replace(b"\x14\x03AES", b"\x14\x03XYZ"),
            "lower.qxv": good.replace(b"\x14\x03AES", b"\x14\x03aes"),
            "space.qxv": good.replace(b"\x14\x03AES", b"\x14\x04AES "),
            "longer.qxv": good.replace(b"\x14\x03AES", b"\x14\x06AES256"),
            "empty.qxv": good.replace(b"\x14\x03AES", b"\x14\x00"),
            "extra.qxv": good.replace(b"\x14\x06QXVEOF", b"\x00\x14\x06QXVEOF"),
        }
        for name, data in named.items():
            self.write(name, data)
        result = self.crypt("decrypt", *sorted(named))
        self.assertEqual((result.status, result.boxes),
                         (1, ["quillomar: " + self.n(name) + ": not a valid encrypted file"
                              for name in sorted(named)]))
        self.assertEqual(self.files(), sorted(named))
        # Found in a folder, they are left alone without a word, as the file manager does.
        os.mkdir(self.p("d"))
        for name in named:
            os.rename(self.p(name), self.p("d/" + name))
        self.assertEqual(self.crypt("decrypt", "d").boxes, [])
        self.assertEqual(self.files(), sorted("d/" + name for name in named))

    def test_fifos_and_devices_are_refused_without_waiting(self):  # POSIX only
        os.mkfifo(self.p("fifo"))
        os.symlink("/dev/zero", self.p("zero"))
        self.container("c.qxv", b"x")
        for command in ("encrypt", "decrypt"):
            for name in ("fifo", "zero"):
                result = self.crypt(command, name)
                self.assertEqual(result.status, 1, (command, name))
                self.assertIn("Cannot open file", result.err)
        self.assertEqual(self.run_q("info", self.n("fifo")).status, 1)
        self.assertEqual(self.files(), ["c.qxv", "fifo", "zero"])
        # In a folder: skipped with a word, and the rest goes on.
        self.write("d/a", b"a")
        self.write("d/z", b"z")
        os.mkfifo(self.p("d/m"))
        result = self.crypt("encrypt", "d")
        self.assertEqual((result.status, result.boxes),
                         (0, ["quillomar: " + self.n("d/m") + ": not a regular file, skipped"]))
        self.assertEqual([f for f in self.files() if f.startswith("d/")],
                         ["d/a.qxv", "d/m", "d/z.qxv"])

    def test_an_unlistable_subfolder_is_a_failure_and_the_rest_goes_on(self):  # POSIX only
        self.write("d/a", b"a")
        self.write("d/z", b"z")
        # Deeper than a path can name: made step by step from open folders.
        folder = os.open(self.p("d"), os.O_RDONLY)
        deep = []
        for _ in range(24):
            os.mkdir("x" * 200, dir_fd=folder)
            inner = os.open("x" * 200, os.O_RDONLY, dir_fd=folder)
            os.close(folder)
            folder = inner
            deep.append("x" * 200)
        os.close(folder)
        unlisted = self.p("d")
        while len(unlisted) < 4096:  # the first folder a path cannot name
            unlisted = os.path.join(unlisted, deep.pop())
        result = self.crypt("encrypt", "d")
        self.assertEqual(result.status, 1)
        self.assertEqual(result.boxes, ["Cannot open folder: Cannot list folder: " + unlisted +
                                        ". Continue with the next file?"])
        self.assertEqual([f for f in self.files() if "xxxx" not in f], ["d/a.qxv", "d/z.qxv"])

    def test_passwords_with_a_nul_byte_or_without_an_end_are_refused(self):
        self.write("a", b"plain")
        pw = os.path.join(self.dir, "pw")
        for password in (b"\0" * 8, b"abcdefgh\0rest"):
            with open(pw, "wb") as f:
                f.write(password + b"\n")
            for source, stdin in ((native(pw), None), ("-", password + b"\n")):
                result = self.run_q("encrypt", "--quiet", "--password-file", source, self.n("a"),
                                    password=None, stdin=stdin)
                self.assertEqual(result.status, 1)
                self.assertIn("NUL byte", result.err)
        self.assertEqual(self.files(), ["a"])
        self.assertEqual(self.read("a"), b"plain")
        if not WINDOWS:
            # An endless source ends at the bounded line; a pipe named as a file is read.
            result = self.run_q("encrypt", "--quiet", "--password-file", "/dev/zero",
                                self.n("a"), password=None)
            self.assertEqual(result.status, 1)
            self.assertIn("longer than 4096 bytes", result.err)
            result = self.run_q("encrypt", "--quiet", "--password-file", "/dev/stdin",
                                self.n("a"))
            self.assertEqual(result.status, 0)
            self.assertEqual(independent_decrypt(self.read("a.qxv"), PASSWORD), b"plain")

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
        # Created 2024-12-08 09:30:11 UTC, last written a day later, as 100-ns ticks since 1601.
        created = (1733650211 + 11644473600) * 10**7
        written = created + 86400 * 10**7
        self.write("c.qxv", write_containers.container(
            "AES", b"x" * 1000, PASSWORD.encode(),
            times=(created & 0xFFFFFFFF, created >> 32, written & 0xFFFFFFFF, written >> 32)))
        self.write("old", b"\x14\x03QXV\x14\x03DES" + bytes(8))
        self.write("old-evil", b"\x14\x03QXV\x14\x07\x1b[2J\xc2\x9b" + bytes(8))
        self.write("plain.txt", b"hello")
        self.write("plain.txt.qxvj", b"QXVJRNL\x01" + bytes(120))  # begins as a journal does
        damaged = write_containers.container("AES", b"y" * 100, PASSWORD.encode(), size=200)
        self.write("damaged.qxv", damaged)
        os.mkdir(self.p("folder"))
        # The Info box's lines first, then the details.
        result = self.run_q("info", self.n("c.qxv"))
        self.assertEqual(result.status, 0)
        size = os.path.getsize(self.p("c.qxv"))
        self.assertEqual(result.out.splitlines(), [
            "Quillomar type : \tQuillomar encrypted file", "Algorithm: \tAES",
            "Original size: \t1000 bytes", "Created: \t2024-12-08 09:30:11 UTC",
            "Last written: \t2024-12-09 09:30:11 UTC",
            "Container size: \t%d bytes" % size, "Interrupted encryption: \tnone"])
        result = self.run_q("info", "--json", self.n("c.qxv"))
        self.assertEqual((result.status, json.loads(result.out)), (0, {
            "path": self.n("c.qxv"), "kind": "container", "algorithm": "AES",
            "original_size": 1000, "created": "2024-12-08T09:30:11Z",
            "last_written": "2024-12-09T09:30:11Z", "file_size": size,
            "interrupted_encryption": False, "problem": None}))
        result = self.run_q("info", self.n("old"))
        self.assertEqual((result.status, result.out),
                         (0, "Quillomar type : \tQuillomar (old type) encrypted file\n"
                             "Algorithm: \tDES\nInterrupted encryption: \tnone\n"))
        # Text from the file never reaches the terminal as control bytes.
        result = self.run_q("info", self.n("old-evil"))
        self.assertIn("Algorithm: \t\\x1B[2J\\xC2\\x9B\n", result.out)
        result = self.run_q("info", "--json", self.n("old-evil"))
        self.assertEqual(json.loads(result.out)["algorithm"], "\x1b[2J\x9b")
        self.assertNotIn("\x1b", result.out)
        result = self.run_q("info", self.n("plain.txt"))
        self.assertEqual((result.status, result.out),
                         (1, "File: " + self.n("plain.txt") + " is not an valid Quillomar file\n"
                          "Interrupted encryption: \twaiting: encrypt the file again with the "
                          "same password\n"))
        # A file of the user's under the journal's name is not taken for one.
        self.write("plain.txt.qxvj", b"")
        result = self.run_q("info", self.n("plain.txt"))
        self.assertIn("Interrupted encryption: \tnone\n", result.out)
        # Decryption refuses a trailer whose sizes disagree; so does info.
        result = self.run_q("info", self.n("damaged.qxv"))
        self.assertEqual((result.status, result.out.splitlines()[::2]),
                         (1, ["File: " + self.n("damaged.qxv") + " is not an valid Quillomar file",
                              "Problem: \tdamaged container: its sizes do not agree"]))
        result = self.run_q("info", self.n("missing"))
        self.assertEqual((result.status, result.out),
                         (1, "Quillomar type : \tQuillomar Error\nAlgorithm: \t\n"
                             "Problem: \tNo such file\n"))
        result = self.run_q("info", "--json", self.n("folder"))
        self.assertEqual((result.status, json.loads(result.out)["problem"]),
                         (1, "Is a directory"))
        if not WINDOWS:
            path = os.path.join(os.fsencode(self.work), b"evil\x1b]0;title\x07\xff.txt")
            with open(path, "wb") as f:
                f.write(b"z")
            completed = subprocess.run(RUNNER + [PROGRAM, "info", path], capture_output=True)
            self.assertNotIn(b"\x1b", completed.stdout)
            self.assertIn(b"evil\\x1B]0;title\\x07\\xFF.txt", completed.stdout)

    def test_progress_only_on_a_terminal_or_when_asked(self):
        # Standard error is a pipe here: messages only, unless --progress asks for the lines.
        names = ["d/one", "d/two", "three"]
        for name in names:
            self.write(name, (name * 8192)[:8192])
        options = ["--password-file", "-", "--no-exe"]
        result = self.run_q("encrypt", *options, self.n("d"), self.n("three"))
        self.assertEqual((result.status, result.err), (0, ""))
        for name in names:
            os.remove(self.p(name + ".qxv"))
            self.write(name, (name * 8192)[:8192])
        result = self.run_q("encrypt", "--progress", *options, self.n("d"), self.n("three"))
        self.assertEqual(result.status, 0, result.err)
        # Files, not selected items, are counted; the last line is complete.
        self.assertIn("[3/3] " + self.n("three") + "  8.0 KiB/8.0 KiB  100%", result.err)
        self.assertEqual(result.boxes[-1][:len("Encrypted 3 files (24.0 KiB), skipped 0, "
                                               "failed 0, in ")],
                         "Encrypted 3 files (24.0 KiB), skipped 0, failed 0, in ")
        result = self.run_q("decrypt", "--quiet", "--password-file", "-",
                            "--no-keep", self.n("d"))
        self.assertEqual((result.status, result.err), (0, ""))

    def test_usage_errors_exit_2(self):
        # (arguments, what the message must say)
        cases = [
            ([], "no command given"),
            (["encrypt"], "no PATH given"),
            (["frobnicate", "x"], "unknown command 'frobnicate'"),
            (["encrpyt", "x"], "did you mean encrypt?"),
            (["encrypt", "--keep", "x"], "it is an option of 'decrypt'"),
            (["decrypt", "--exe", "x"], "it is an option of 'encrypt'"),
            (["encrypt", "--exe", "--no-exe", "x"], "contradicting options --exe and --no-exe"),
            (["decrypt", "-k", "--no-keep", "x"], "contradicting options --keep and --no-keep"),
            (["encrypt", "-y", "--no", "x"], "contradicting options --yes and --no"),
            (["encrypt", "-q", "--progress", "x"], "contradicting"),
            (["info", "a", "b"], "info takes one FILE"),
            (["info", "--quiet", "a"], "not known to 'info'"),
            (["encrypt", "--password-file"], "--password-file takes one FILE"),
            (["encrypt", "-p", "a", "--password-file=b", "x"], "--password-file takes one FILE"),
            (["encrypt", "--quiet=yes", "x"], "--quiet takes no value"),
            (["encrypt", "--jobs", "0", "x"], "--jobs takes a number from 1 to 64"),
            (["decrypt", "-j", "65", "x"], "--jobs takes a number from 1 to 64"),
            (["encrypt", "--jobs=two", "x"], "--jobs takes a number from 1 to 64"),
            (["encrypt", "-j"], "--jobs takes one N"),
            (["encrypt", "--bogus", "x"], "--bogus is not known to 'encrypt'"),
            (["encrypt", "--qiuet", "x"], "did you mean --quiet?"),
            (["decrypt", "--stop-on-eror", "x"], "did you mean --stop-on-error?"),
            (["decrypt", "--pass", "-", "x"], "did you mean --password-file?"),
            (["--verison"], "did you mean --version?"),
            (["--help", "x"], "takes nothing more"),
        ]
        for args, message in cases:
            result = self.run_q(*args, password=None)
            self.assertEqual(result.status, 2, args)
            self.assertIn(message, result.err, args)
            self.assertIn("usage: quillomar", result.err)
        self.assertEqual(self.files(), [])

    def test_short_options_values_and_end_of_options(self):
        """Every spelling of the same run gives the same result."""
        with open(os.path.join(self.dir, "pw"), "wb") as f:
            f.write((PASSWORD + "\n").encode())
        pw = native(os.path.join(self.dir, "pw"))
        option = ["--no-exe"] if WINDOWS else []
        for spelling in (["--password-file", pw, "--quiet", "--yes"],
                         ["-p", pw, "-q", "-y"],
                         ["-qyp", pw],
                         ["-p" + pw, "-qy"],
                         ["--password-file=" + pw, "-yq"]):
            self.write("a", b"old plain")
            self.write("a.qxv", b"to be replaced")
            result = self.run_q("encrypt", *option, *spelling, self.n("a"), password=None)
            self.assertEqual(result.status, 0, spelling)
            self.assertIn("Replace existing file?", result.err)  # answered by -y
            self.assertEqual(self.files(), ["a.qxv"], spelling)
            self.assertEqual(independent_decrypt(self.read("a.qxv"), PASSWORD), b"old plain")
            os.remove(self.p("a.qxv"))
        # After "--" a name that begins with "-" is a path; -k keeps the container.
        self.container("-q.qxv", b"dash")
        result = self.run_q("decrypt", "-p", "-", "-k", "--", self.n("-q.qxv"))
        self.assertEqual(result.status, 0, result.err)
        self.assertEqual(self.read("-q"), b"dash")
        self.assertEqual(self.files(), ["-q", "-q.qxv"])

    def test_help_and_version(self):
        listed = self.run_q("--list-options", password=None)
        self.assertEqual(listed.status, 0)
        options = {}
        for line in listed.out.splitlines():
            command, *names = line.split()
            options.setdefault(command, set()).update(n for n in names if n.startswith("-"))
        self.assertEqual(set(options), {"-", "encrypt", "decrypt", "info"})
        self.assertTrue({"-x", "-k", "-p", "-y", "-n", "-q", "-s", "-h", "--exe", "--keep",
                         "--password-file", "--yes", "--no", "--quiet", "--stop-on-error",
                         "--no-exe", "--no-keep", "--progress", "--json", "--help"}
                        <= set().union(*options.values()))
        # The tool's help names every option; a command's help names exactly its own.
        whole = self.run_q("--help", password=None)
        self.assertEqual(whole.status, 0)
        for command in ("encrypt", "decrypt", "info"):
            for spelling in ([command, "--help"], [command, "-h"], ["help", command],
                             [command, "x", "--bogus", "-h"]):
                result = self.run_q(*spelling, password=None)
                self.assertEqual((result.status, result.err), (0, ""), spelling)
                self.assertIn("usage: quillomar " + command, result.out)
                self.assertIn("130", result.out)
                shown = set(re.findall(r"(?<![\w-])--?[a-z][a-z-]*", result.out))
                others = set().union(*(v for k, v in options.items() if k != command))
                self.assertLessEqual(options[command], shown, spelling)
                self.assertFalse((others - options[command]) & shown, spelling)
            for name in options[command]:
                self.assertIn(name, whole.out)
        self.assertIn("Example", whole.out)
        for spelling in ("--version", "-V"):
            result = self.run_q(spelling, password=None)
            self.assertEqual(result.status, 0)
            self.assertIn("Version 2.1", result.out)


SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
COMPLETIONS = os.path.join(SOURCE, "cli", "completions")
MANUALS = os.path.join(SOURCE, "docs", "man")
OPTION_NAME = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")


class OptionDocumentsTest(unittest.TestCase):
    """The completions and the manual page know exactly the options the parser knows."""

    @classmethod
    def setUpClass(cls):
        listed = subprocess.run(RUNNER + [PROGRAM, "--list-options"], capture_output=True,
                                text=True, timeout=60, check=True).stdout
        cls.options = {}
        for line in listed.splitlines():
            command, *names = line.split()
            cls.options.setdefault(command, set()).update(
                n for n in names if n.startswith("-"))

    def source(self, *path):
        with open(os.path.join(*path), encoding="utf-8") as f:
            return f.read()

    def test_bash_completes_each_commands_options(self):
        script = os.path.join(COMPLETIONS, "quillomar.bash")

        def complete(*words):
            words = ["quillomar", *words]
            probe = ('source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); '
                     '_quillomar; printf "%s\\n" "${COMPREPLY[@]}"')
            out = subprocess.run(["bash", "-c", probe, "bash", script, *words],
                                 capture_output=True, text=True, check=True,
                                 cwd=tempfile.gettempdir()).stdout
            return {w for w in out.splitlines() if w}

        for command in ("encrypt", "decrypt", "info"):
            self.assertEqual(complete(command, "-"), self.options[command], command)
            self.assertEqual(complete(command, "x", "--"),
                             {n for n in self.options[command] if n.startswith("--")})
        self.assertEqual(complete("-"), self.options["-"])
        self.assertEqual(complete(""), {"encrypt", "decrypt", "info", "help"})
        self.assertEqual(complete("help", "de"), {"decrypt"})
        # After "--" and after --password-file only file names.
        self.assertFalse(complete("encrypt", "--", "--") & self.options["encrypt"])
        self.assertFalse(complete("encrypt", "-p", "--") & self.options["encrypt"])

    def test_zsh_names_each_commands_options(self):
        text = self.source(COMPLETIONS, "_quillomar")
        names_in = re.compile(r"(--?[A-Za-z][\w-]*)(?=[\[,}+=])")  # option names in _arguments lines
        for command in ("encrypt", "decrypt", "info"):
            block = re.search(r"\n\s*%s\)\n(.*?);;" % command, text, re.S).group(1)
            self.assertEqual(set(names_in.findall(block)), self.options[command], command)
        top = text[:text.index("case $state")]
        self.assertEqual(set(names_in.findall(top)), self.options["-"])

    def test_fish_names_each_commands_options(self):
        found = {}
        for line in self.source(COMPLETIONS, "quillomar.fish").splitlines():
            condition = re.search(r'-n "(not )?__fish_seen_subcommand_from ([^"]*)"', line)
            if not condition or not re.search(r" -[sl] ", line):
                continue
            commands = ["-"] if condition.group(1) else condition.group(2).split()
            names = ["-" + n for n in re.findall(r" -s (\w)", line)]
            names += ["--" + n for n in re.findall(r" -l ([\w-]+)", line)]
            for command in commands:
                found.setdefault(command, set()).update(names)
        self.assertEqual(found, self.options)

    def test_manual_pages(self):
        page = self.source(MANUALS, "quillomar.1").replace("\\-", "-")
        self.assertLessEqual(set().union(*self.options.values()), set(OPTION_NAME.findall(page)))
        for name in ("quillomar.1", "qxvsd.1"):
            if shutil.which("groff"):
                lint = subprocess.run(["groff", "-man", "-ww", "-z", os.path.join(MANUALS, name)],
                                      capture_output=True, text=True)
                self.assertEqual((lint.returncode, lint.stderr), (0, ""), name)


# The unattended runs of quillomar-gui, which takes the same command line (on the offscreen
# platform: without a person it shows no window).
GUI_SUBSET = [
    "test_round_trip_is_readable_by_an_independent_reader",
    "test_awkward_names_round_trip",
    "test_decrypt_over_an_existing_file_asks_and_no_keeps_both",
    "test_wrong_password_in_the_middle_cancel_stops",
    "test_folder_round_trip_includes_hidden_files",
    "test_short_password_touches_nothing",
    "test_missing_path_touches_nothing",
]

# A representative subset for the Windows program under Wine.
WINE_SUBSET = [
    "test_round_trip_is_readable_by_an_independent_reader",
    "test_decrypted_names_and_plain_files_skipped",
    "test_names_beyond_ascii",
    "test_decrypt_over_an_existing_file_asks_and_no_keeps_both",
    "test_wrong_password_in_the_middle_cancel_stops",
    "test_wrong_password_on_the_last_file_offers_only_ok",
    "test_folder_files_in_case_insensitive_order_at_every_depth",
    "test_files_side_by_side_show_and_leave_what_one_at_a_time_does",
    "test_exe_option_leaves_only_the_executable",
    "test_info",
    "test_usage_errors_exit_2",
    "test_short_options_values_and_end_of_options",
    "test_progress_only_on_a_terminal_or_when_asked",
    "test_damaged_and_foreign_containers_are_refused_and_named",
    "test_passwords_with_a_nul_byte_or_without_an_end_are_refused",
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
    elif os.path.basename(PROGRAM) == "quillomar-gui":
        # Qt wants a private runtime folder and says so on standard error otherwise.
        if "XDG_RUNTIME_DIR" not in os.environ:
            runtime = tempfile.mkdtemp(prefix="qxv-runtime-")
            os.environ["XDG_RUNTIME_DIR"] = runtime
            atexit.register(shutil.rmtree, runtime, True)
        suite = unittest.TestSuite(QuillomarTest(name) for name in GUI_SUBSET)
    else:
        suite = loader.loadTestsFromTestCase(QuillomarTest)
        suite.addTests(loader.loadTestsFromTestCase(OptionDocumentsTest))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
