#!/usr/bin/python3
"""Interactive runs of the built `quillomar` through a pseudo-terminal: the password dialog,
its questions, the message boxes and the progress bar of the console backend.

    quillomar_pty.py QUILLOMAR
"""

import os
import pty
import select
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
        for cancel in ("\x04", "\x03"):  # end of input, Ctrl-C
            s = self.run_q("encrypt", "a")
            s.expect("Password: ")
            s.send(cancel)
            self.assertEqual(s.finish(), 1, s.text())
            self.assertEqual(os.listdir(self.work), ["a"])
            self.assertEqual(self.read("a"), b"plain")
            self.assertNotIn("]", s.text(), "no progress bar")

    def test_options_preset_the_check_box(self):
        self.write("a.qxv", write_containers.container("AES", b"x", PASSWORD.encode()))
        s = self.run_q("decrypt", "--keep", "a.qxv")
        s.expect("Password: ")
        s.send(PASSWORD + "\n")
        s.expect("Keep encrypted file? [Y/n] ")
        s.send("\n")
        self.assertEqual(s.finish(), 0, s.text())
        self.assertEqual(sorted(os.listdir(self.work)), ["a", "a.qxv"])

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
        s.expect("Invalid Password: Invalid password used for file: b.qxv. Continue with the "
                 "next file?")
        s.expect("[o]k/[c]ancel? ")
        s.send("c\n")
        s.expect("Advisory: Action cancelled")
        self.assertEqual(s.finish(), 1, s.text())
        self.assertEqual(sorted(os.listdir(self.work)), ["a", "a.qxv", "b.qxv", "c.qxv"])
        self.assertEqual(self.read("a"), b"old")
        self.assertIn("Decryption file: b.qxv", s.text(), "the progress bar names the file")


def main():
    global PROGRAM
    PROGRAM = os.path.abspath(sys.argv[1])
    suite = unittest.TestLoader().loadTestsFromTestCase(InteractiveTest)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
