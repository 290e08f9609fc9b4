#!/usr/bin/python3
"""The file managers' menus run the way each file manager runs them, with quillomar-gui replaced
by a stand-in that calls the built quillomar with a password file: every name, however awkward,
must reach the tool whole, be encrypted, told about and decrypted. Also: the .desktop files
validate, and the install rules put every file where its reader looks for it.

Usage: file_manager_test.py QUILLOMAR BUILD_DIR"""
import configparser
import importlib.util
import os
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import types
import unittest
import xml.etree.ElementTree as ElementTree

QUILLOMAR = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "quillomar"
BUILD = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else "build/native"
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
DESKTOP = os.path.join(SOURCE, "desktop")

# Names as bytes; every menu must pass them whole. Nemo splits its command line like a shell
# after escaping only quotes and spaces: a backslash or a line break in a name cannot pass there.
NAMES = [b"plain.txt", b"with space.txt", b"it's \"quoted\".txt", b"-leading dash.txt",
         b"latin1 \xe9t\xe9.txt", b"new\nline.txt", b"back\\slash $HOME `x`.txt"]
NOT_THROUGH_NEMO = (b"\n", b"\\")
FOLDER, INNER = b"a folder", b"-inner file.txt"

# quillomar-gui's stand-in: the same command line, answered from a password file; what it
# prints goes to a log.
STAND_IN = """#!/bin/sh
command=$1
shift
case $command in
info) exec "$QXV_TEST_QUILLOMAR" info "$@" >>"$QXV_TEST_LOG" 2>&1 ;;
*) exec "$QXV_TEST_QUILLOMAR" "$command" --password-file "$QXV_TEST_PASSWORD_FILE" --quiet "$@" \\
       >>"$QXV_TEST_LOG" 2>&1 ;;
esac
"""


def g_shell_quote(path):
    """GLib's g_shell_quote: single quotes, each ' written as '\\''."""
    return "'" + path.replace("'", "'\\''") + "'"


def nemo_argv(action_file, paths):
    """Nemo: %F becomes the paths with quotes (and, with EscapeSpaces, spaces) escaped by a
    backslash, one space between them; the line is then split like a shell's (g_shell_parse_argv)."""
    action = configparser.ConfigParser(interpolation=None)
    action.read(action_file)
    entry = action["Nemo Action"]
    escape_spaces = entry.get("EscapeSpaces", "false") == "true"
    escaped = []
    for path in paths:
        path = path.replace("'", "\\'").replace('"', '\\"')
        escaped.append(path.replace(" ", "\\ ") if escape_spaces else path)
    return shlex.split(entry["Exec"].replace("%F", " ".join(escaped)))


def dolphin_argv(service_menu, action, paths):
    """KDE: the Exec of the action split as the desktop entry format says; %F gives one argument
    per path, %f the first path."""
    menu = configparser.ConfigParser(interpolation=None)
    menu.read(service_menu)
    argv = []
    for word in shlex.split(menu["Desktop Action " + action]["Exec"]):
        argv += list(paths) if word == "%F" else [paths[0]] if word == "%f" else [word]
    return argv


def thunar_argv(uca_file, name, paths):
    """Thunar: %F becomes each path through g_shell_quote; the line is split like a shell's."""
    for action in ElementTree.parse(uca_file).getroot():
        if action.findtext("name") == name and action.findtext("submenu") == "Quillomar":
            command = action.findtext("command")
            return shlex.split(command.replace("%F", " ".join(g_shell_quote(p) for p in paths)))
    raise AssertionError("no Thunar action " + name)


class FakeNautilus:
    """Just enough of python3-nautilus's module for the extension to build its menu."""

    class MenuItem:
        def __init__(self, name, label, tip=""):
            self.name, self.label, self.submenu, self.handlers = name, label, None, []

        def connect(self, signal, handler):
            self.handlers.append(handler)

        def set_submenu(self, menu):
            self.submenu = menu

        def activate(self):
            return [handler(self) for handler in self.handlers]

    class Menu:
        def __init__(self):
            self.items = []

        def append_item(self, item):
            self.items.append(item)

    class MenuProvider:
        pass


class FakeFile:
    def __init__(self, path, local=True):
        self.path, self.local = path, local

    def get_location(self):
        return types.SimpleNamespace(get_path=lambda: self.path if self.local else None)

    def is_directory(self):
        return os.path.isdir(self.path)


def load_nautilus_extension():
    gi = types.ModuleType("gi")
    gi.require_version = lambda name, version: None
    repository = types.ModuleType("gi.repository")
    repository.Nautilus = FakeNautilus
    repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
    sys.modules.update({"gi": gi, "gi.repository": repository})
    found = importlib.util.spec_from_file_location(
        "quillomar_nautilus", os.path.join(DESKTOP, "nautilus", "quillomar.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def nautilus_menu(extension, paths):
    top = extension.QuillomarMenu().get_file_items([FakeFile(p) for p in paths])
    return {item.label: item for item in top[0].submenu.items} if top else {}


class FileManagerMenus(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qxv-menus-")
        self.work = os.path.join(self.dir, "w")
        tools = os.path.join(self.dir, "bin")
        os.makedirs(self.work)
        os.makedirs(tools)
        with open(os.path.join(tools, "quillomar-gui"), "w") as f:
            f.write(STAND_IN)
        os.chmod(os.path.join(tools, "quillomar-gui"), 0o755)
        with open(os.path.join(self.dir, "password"), "w") as f:
            f.write("correct horse battery\n")
        self.log = os.path.join(self.dir, "log")
        self.env = dict(os.environ, PATH=tools + os.pathsep + os.environ.get("PATH", ""),
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                        QXV_TEST_QUILLOMAR=QUILLOMAR, QXV_TEST_LOG=self.log,
                        QXV_TEST_PASSWORD_FILE=os.path.join(self.dir, "password"))
        self.saved_environ = dict(os.environ)
        os.environ.update(self.env)  # the Nautilus extension starts the program itself

    def tearDown(self):
        os.environ.clear()
        os.environ.update(self.saved_environ)
        shutil.rmtree(self.dir, ignore_errors=True)

    def p(self, *names):
        return os.fsdecode(os.path.join(os.fsencode(self.work), *names))

    def run_argv(self, argv):
        completed = subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL, timeout=60)
        self.assertEqual(completed.returncode, 0, self.read_log())

    def read_log(self):
        with open(self.log, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def round_trip(self, names, launch):
        """Encrypts, asks Info about one file, and decrypts through `launch(command, paths)`."""
        os.mkdir(self.p(FOLDER))
        for name in names + [os.path.join(FOLDER, INNER)]:
            with open(self.p(name), "wb") as f:
                f.write(b"contents of " + name)
        launch("encrypt", [self.p(n) for n in names] + [self.p(FOLDER)])
        for name in names + [os.path.join(FOLDER, INNER)]:
            self.assertFalse(os.path.exists(self.p(name)), name)
            self.assertTrue(os.path.exists(self.p(name + b".qxv")), (name, self.read_log()))

        probe = names[-1] + b".qxv"
        launch("info", [self.p(probe)])
        self.assertIn("Quillomar encrypted file", self.read_log())

        launch("decrypt", [self.p(n + b".qxv") for n in names] + [self.p(FOLDER)])
        for name in names + [os.path.join(FOLDER, INNER)]:
            self.assertFalse(os.path.exists(self.p(name + b".qxv")), name)
            with open(self.p(name), "rb") as f:
                self.assertEqual(f.read(), b"contents of " + name)

    def test_nemo_actions(self):
        names = [n for n in NAMES if not any(c in n for c in NOT_THROUGH_NEMO)]
        actions = os.path.join(DESKTOP, "nemo")
        self.round_trip(names, lambda command, paths: self.run_argv(nemo_argv(
            os.path.join(actions, "quillomar-%s.nemo_action" % command), paths)))

    def test_dolphin_service_menu(self):
        menu = os.path.join(DESKTOP, "dolphin", "quillomar.desktop")
        self.round_trip(NAMES, lambda command, paths: self.run_argv(dolphin_argv(menu, command, paths)))

    def test_nautilus_extension(self):
        extension = load_nautilus_extension()

        def launch(command, paths):
            item = nautilus_menu(extension, paths)[command.capitalize()]
            for process in item.activate():
                self.assertEqual(process.wait(timeout=60), 0, self.read_log())

        self.round_trip(NAMES, launch)
        # Info only for one file; no menu for items that are not local files.
        self.assertEqual(sorted(nautilus_menu(extension, [self.p(b"x"), self.p(b"y")])),
                         ["Decrypt", "Encrypt"])
        self.assertEqual(sorted(nautilus_menu(extension, [self.p(FOLDER)])), ["Decrypt", "Encrypt"])
        self.assertEqual(extension.QuillomarMenu().get_file_items([FakeFile("/x", local=False)]), [])

    def test_thunar_setup_command(self):
        setup = os.path.join(DESKTOP, "thunar", "add-thunar-actions")
        uca = os.path.join(self.dir, "config", "Thunar", "uca.xml")
        os.makedirs(os.path.dirname(uca))
        with open(uca, "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<actions>\n<action>\n\t<name>Mine</name>\n'
                    '\t<unique-id>1-2</unique-id>\n\t<command>true %f</command>\n</action>\n</actions>\n')
        for _ in range(2):  # a second run replaces its actions, and keeps the user's own
            subprocess.run([setup], env=self.env, check=True, stdout=subprocess.DEVNULL)
        names = [a.findtext("name") for a in ElementTree.parse(uca).getroot()]
        self.assertEqual(names, ["Mine", "Encrypt", "Decrypt", "Info"])
        self.round_trip(NAMES, lambda command, paths: self.run_argv(
            thunar_argv(uca, command.capitalize(), paths)))


class DesktopFiles(unittest.TestCase):
    # A KDE service menu is a desktop entry of type Service, whose keys the validator knows
    # only for applications.
    SERVICE_KEYS = ('key "MimeType" is present in group "Desktop Entry", but the type is "Service"',
                    'key "Actions" is present in group "Desktop Entry", but the type is "Service"')

    def test_desktop_files_validate(self):
        for path in [os.path.join(DESKTOP, "quillomar.desktop"),
                     os.path.join(DESKTOP, "dolphin", "quillomar.desktop")]:
            completed = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
            errors = [line for line in completed.stdout.splitlines()
                      if " error: " in line and not any(k in line for k in self.SERVICE_KEYS)]
            self.assertEqual(errors, [], path)

    def test_install_rules_put_each_file_where_it_is_read(self):
        expected = {
            "tool": {"usr/bin/quillomar": 0o755, "usr/bin/qxvsd": 0o755,
                     "usr/share/doc/quillomar/copyright": 0o644,
                     "usr/share/doc/quillomar/changelog.gz": 0o644,
                     "usr/share/lintian/overrides/quillomar": 0o644},
            "desktop": {"usr/share/applications/quillomar.desktop": 0o644,
                        "usr/share/mime/packages/quillomar.xml": 0o644,
                        "usr/share/icons/hicolor/48x48/apps/quillomar.png": 0o644,
                        "usr/share/icons/hicolor/scalable/apps/quillomar.svg": 0o644,
                        "usr/share/nautilus-python/extensions/quillomar.py": 0o644,
                        "usr/share/nemo/actions/quillomar-encrypt.nemo_action": 0o644,
                        "usr/share/kio/servicemenus/quillomar.desktop": 0o644,
                        "usr/share/quillomar/add-thunar-actions": 0o755,
                        "usr/share/doc/quillomar-desktop/copyright": 0o644},
        }
        if os.path.exists(os.path.join(BUILD, "gui", "quillomar-gui")):
            expected["desktop"]["usr/bin/quillomar-gui"] = 0o755
        for component, files in expected.items():
            with self.subTest(component), tempfile.TemporaryDirectory() as root:
                subprocess.run(["cmake", "--install", BUILD, "--component", component,
                                "--prefix", "/usr"], env=dict(os.environ, DESTDIR=root),
                               check=True, stdout=subprocess.DEVNULL)
                for path, mode in files.items():
                    status = os.stat(os.path.join(root, path))
                    self.assertEqual(stat.S_IMODE(status.st_mode), mode, path)
                # Nothing outside /usr, and no file of the other package.
                self.assertEqual(os.listdir(root), ["usr"])
                self.assertNotIn("quillomar-gui" if component == "tool" else "quillomar",
                                 os.listdir(os.path.join(root, "usr", "bin"))
                                 if os.path.isdir(os.path.join(root, "usr", "bin")) else [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
