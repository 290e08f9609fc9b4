#!/usr/bin/python3
"""Interactive runs of the built `quillomar` through a pseudo-terminal: the password dialog,
its questions, the message boxes, the progress line and Ctrl-C.

    quillomar_pty.py QUILLOMAR
"""

import hashlib
import os
import pty
import re
import select
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from quillomar_e2e import ScratchTest, independent_decrypt, write_containers  # noqa: E402

PROGRAM = None
PASSWORD = "correct horse battery"


class Session:
    """One run of the program on a terminal of its own."""

    def __init__(self, args, cwd, env):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.execve(PROGRAM, [PROGRAM] + args, env)
        self.out = b""

    def _read(self, seconds):
        ready, _, _ = select.select([self.fd], [], [], seconds)
        if not ready:
            return False
        try:
            chunk = os.read(self.fd, 4096)
        except OSError:
            return None
        self.out += chunk
        return bool(chunk)

    def expect(self, text, timeout=20):
        end = time.time() + timeout
        while text.encode() not in self.out:
            if time.time() > end or self._read(0.2) is None:
                raise AssertionError("never saw %r in:\n%s" % (text, self.text()))
        # Later expectations look only at what follows.
        at = self.out.index(text.encode()) + len(text)
        seen, self.out = self.out[:at], self.out[at:]
        self.history = getattr(self, "history", b"") + seen

    def send(self, text):
        os.write(self.fd, text.encode())

    def interrupt(self):
        os.kill(self.pid, signal.SIGINT)

    def finish(self, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                while self._read(0.05):
                    pass
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            self._read(0.1)
        os.kill(self.pid, 9)
        raise AssertionError("the program did not end:\n" + self.text())

    def text(self):
        return (getattr(self, "history", b"") + self.out).decode("utf-8", "replace")


class InteractiveTest(ScratchTest):
    def setUp(self):
        super().setUp()
        self.env["TERM"] = "dumb"

    def run_q(self, *args):
        return Session(list(args), self.work, self.env)

    def test_encrypt_and_decrypt_through_the_dialogs(self):
        self.write("notes.txt", b"hello\n")
        s = self.run_q("encrypt", "notes.txt")
        s.expect("Encrypting file: notes.txt")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Create EXE-File? [y/N] ")
        s.send("n\n")
        s.expect("Confirm Password: ")  # the first password becomes the default one
        s.send(PASSWORD + "\n")
        self.assertEqual(s.finish(), 0, s.text())
        self.assertNotIn(PASSWORD, s.text(), "the password is not echoed")
        self.assertEqual(sorted(os.listdir(self.work)), ["notes.txt.qxv"])
        self.assertEqual(independent_decrypt(self.read("notes.txt.qxv"), PASSWORD), b"hello\n")

        s = self.run_q("decrypt", "notes.txt.qxv")
        s.expect("Decrypting file: notes.txt.qxv")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Keep encrypted file? [y/N] ")
        s.send("\n")
        self.assertEqual(s.finish(), 0, s.text())
        self.assertEqual(os.listdir(self.work), ["notes.txt"])
        self.assertEqual(self.read("notes.txt"), b"hello\n")

    def test_cancelled_dialog_touches_nothing(self):
        self.write("a", b"plain")
        for cancel, status in (("\x04", 1), ("\x03", 130)):  # end of input, Ctrl-C
            s = self.run_q("encrypt", "a")
            s.expect("Password: ")
            s.send(cancel)
            self.assertEqual(s.finish(), status, s.text())
            self.assertEqual(os.listdir(self.work), ["a"])
            self.assertEqual(self.read("a"), b"plain")
            self.assertNotIn("]", s.text(), "no progress bar")

    def test_options_on_the_command_line_are_not_asked(self):
        self.write("a.qxv", write_containers.container("AES", b"x", PASSWORD.encode()))
        s = self.run_q("decrypt", "--keep", "a.qxv")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        self.assertEqual(s.finish(), 0, s.text())
        self.assertNotIn("Keep encrypted file?", s.text())
        self.assertEqual(sorted(os.listdir(self.work)), ["a", "a.qxv"])

    def test_short_password_is_refused_as_it_is_entered(self):
        self.write("a", b"plain")
        s = self.run_q("encrypt", "a")
        s.expect("Password: ")
        s.send("short\n")
        # Refused before the option's question, on a line of its own.
        s.expect("\nThe password must have at least 8 characters.")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Create EXE-File? [y/N] ")
        s.send("n\n")
        s.expect("Confirm Password: ")
        s.send("another long one\n")
        s.expect("\nConfirm Password: The two passwords are not equal.")
        s.send("\x03")
        self.assertEqual(s.finish(), 130, s.text())
        self.assertEqual(self.read("a"), b"plain")

    def test_password_entered_again_for_the_remaining_files(self):
        for name, password in (("a.qxv", PASSWORD), ("b.qxv", "other password"),
                               ("c.qxv", "other password")):
            self.write(name, write_containers.container("AES", name.encode(),
                                                        password.encode()))
        s = self.run_q("decrypt", "--no-keep", "a.qxv", "b.qxv", "c.qxv")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Invalid Password: Invalid password used for file: b.qxv. Enter the password "
                 "again for it and the remaining files?")
        s.expect("[y]es/[n]o? ")
        s.send("y\n")
        s.expect("Password: ")
        s.send("other password\n")
        self.assertEqual(s.finish(), 0, s.text())
        self.assertNotIn("other password", s.text(), "the password is not echoed")
        self.assertEqual(sorted(os.listdir(self.work)), ["a", "b", "c"])
        self.assertEqual(self.read("c"), b"c.qxv")

    def test_questions_and_failures_are_asked_in_the_terminal(self):
        for name, password in (("a.qxv", PASSWORD), ("b.qxv", "other password"),
                               ("c.qxv", PASSWORD)):
            self.write(name, write_containers.container("AES", name.encode(),
                                                        password.encode()))
        self.write("a", b"old")
        s = self.run_q("decrypt", "a.qxv", "b.qxv", "c.qxv")
        s.expect("Decrypting 3 files.")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Keep encrypted file? [y/N] ")
        s.send("n\n")
        s.expect("File Exist: Decrypted  file for: a.qxv already exists. Replace existing "
                 "file?")
        s.expect("[y]es/[n]o? ")
        s.send("n\n")
        s.expect("Enter the password again for it and the remaining files?")
        s.expect("[y]es/[n]o? ")
        s.send("n\n")
        s.expect("Invalid Password: Invalid password used for file: b.qxv. Continue with the "
                 "next file?")
        s.expect("[o]k/[c]ancel? ")
        s.send("c\n")
        s.expect("Advisory: Action cancelled")
        self.assertEqual(s.finish(), 1, s.text())
        self.assertEqual(sorted(os.listdir(self.work)), ["a", "a.qxv", "b.qxv", "c.qxv"])
        self.assertEqual(self.read("a"), b"old")
        self.assertIn("[2/3] b.qxv", s.text(), "the progress line names the file")


class ProgressTest(ScratchTest):
    """The progress line and Ctrl-C on a file large enough to take many records."""

    SIZE = 256 << 20

    def setUp(self):
        super().setUp()
        self.env["TERM"] = "dumb"
        with open(os.path.join(self.dir, "pw"), "w") as f:
            f.write(PASSWORD + "\n")
        block = os.urandom(1 << 20)
        with open(self.p("big.bin"), "wb") as f:
            for _ in range(self.SIZE >> 20):
                f.write(block)
        self.plain_digest = self.digest("big.bin")

    def digest(self, name):
        h = hashlib.sha256()
        with open(self.p(name), "rb") as f:
            for piece in iter(lambda: f.read(1 << 20), b""):
                h.update(piece)
        return h.hexdigest()

    def run_q(self, command, name):
        option = "--no-exe" if command == "encrypt" else "--no-keep"
        return Session([command, option, "--password-file", os.path.join(self.dir, "pw"), name],
                       self.work, self.env)

    def test_byte_count_moves_and_ends_complete_with_a_summary(self):
        for command, name, verb in (("encrypt", "big.bin", "Encrypted"),
                                    ("decrypt", "big.bin.qxv", "Decrypted")):
            s = self.run_q(command, name)
            self.assertEqual(s.finish(120), 0, s.text())
            text = s.text()
            counts = set(re.findall(r"\] %s  ([0-9.]+ [KM]i?B)/256\.0 MiB" % re.escape(name),
                                    text))
            self.assertGreaterEqual(len(counts), 2, "the byte count moves:\n" + text)
            self.assertIn("[1/1] %s  256.0 MiB/256.0 MiB  100%%" % name, text)
            self.assertRegex(text, r"\n%s 1 file \(256\.0 MiB\), skipped 0, failed 0, in "
                                   r"[0-9.:]+( s)?\.\r?\n" % verb)
        self.assertEqual(self.digest("big.bin"), self.plain_digest)

    def interrupt_twice(self, s):
        s.expect(" MiB/256.0 MiB", 60)
        s.interrupt()
        s.expect("Ctrl-C: stopping after the current file; Ctrl-C again stops it now.")
        s.interrupt()
        s.expect("Ctrl-C: stopping the current file; it is left as it was.")
        self.assertEqual(s.finish(120), 130, s.text())
        self.assertIn("stopped by Ctrl-C.", s.text())

    def test_second_ctrl_c_stops_the_file_and_leaves_it_as_it_was(self):
        self.interrupt_twice(self.run_q("encrypt", "big.bin"))
        self.assertEqual(os.listdir(self.work), ["big.bin"])  # no journal left
        self.assertEqual(self.digest("big.bin"), self.plain_digest)

        self.assertEqual(self.run_q("encrypt", "big.bin").finish(120), 0)
        container = self.digest("big.bin.qxv")
        # Decryption runs at the disk's speed and may have finished before the second Ctrl-C
        # arrives: what is left is what the summary says, never half of it.
        s = self.run_q("decrypt", "big.bin.qxv")
        self.interrupt_twice(s)
        if "Decrypted 1 file" in s.text():
            self.assertEqual(os.listdir(self.work), ["big.bin"])
            self.assertEqual(self.digest("big.bin"), self.plain_digest)
            self.assertEqual(self.run_q("encrypt", "big.bin").finish(120), 0)
        else:
            self.assertIn("Decrypted 0 files", s.text())
            self.assertEqual(os.listdir(self.work), ["big.bin.qxv"])
            self.assertEqual(self.digest("big.bin.qxv"), container)

        # One Ctrl-C on the last file lets it finish: nothing was left undone.
        s = self.run_q("decrypt", "big.bin.qxv")
        s.expect(" MiB/256.0 MiB", 60)
        s.interrupt()
        s.expect("Ctrl-C: stopping after the current file")
        self.assertEqual(s.finish(120), 0, s.text())
        self.assertEqual(os.listdir(self.work), ["big.bin"])
        self.assertEqual(self.digest("big.bin"), self.plain_digest)

    def test_one_ctrl_c_lets_the_current_file_finish_and_stops_the_next_one_in_flight(self):
        # The second file runs beside the first: it is put back as it was.
        with open(self.p("second.bin"), "wb") as f:
            f.write(os.urandom(24 << 20))
        second = self.digest("second.bin")
        s = Session(["encrypt", "--no-exe", "--password-file", os.path.join(self.dir, "pw"),
                     "big.bin", "second.bin"], self.work, self.env)
        s.expect(" MiB/256.0 MiB", 60)
        s.interrupt()
        s.expect("Ctrl-C: stopping after the current file")
        self.assertEqual(s.finish(120), 130, s.text())
        self.assertEqual(sorted(os.listdir(self.work)), ["big.bin.qxv", "second.bin"])
        self.assertEqual(self.digest("second.bin"), second)
        self.assertIn("Encrypted 1 file (256.0 MiB), skipped 0, failed 0", s.text())


def main():
    global PROGRAM
    PROGRAM = os.path.abspath(sys.argv[1])
    loader = unittest.TestLoader()
    suite = unittest.TestSuite([loader.loadTestsFromTestCase(InteractiveTest),
                                loader.loadTestsFromTestCase(ProgressTest)])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
