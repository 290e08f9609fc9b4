# GNOME Files (Nautilus): the "Quillomar" submenu with Encrypt, Decrypt and Info on the selected
# files and folders. python3-nautilus loads it from share/nautilus-python/extensions.
#
# The paths go to quillomar-gui as an argument list, one argument each after "--": no shell sees
# them, and a name that starts with "-" is never taken for an option. Names that are not UTF-8
# arrive as str with their bytes kept (surrogate escapes) and leave as those same bytes.
import subprocess

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402

PROGRAM = "quillomar-gui"
COMMANDS = (("Encrypt", "encrypt", "Encrypt the selected files and folders with a password"),
            ("Decrypt", "decrypt", "Decrypt the selected files and folders"),
            ("Info", "info", "Tell whether the selected file is encrypted, and how"))


def command_line(command, paths):
    """The argument list that runs `command` on `paths`."""
    return [PROGRAM, command, "--"] + list(paths)


def local_paths(files):
    """The selection's paths, or None when an item is not a local file (there is none to give)."""
    paths = []
    for item in files:
        location = item.get_location()
        path = location.get_path() if location is not None else None
        if path is None:
            return None
        paths.append(path)
    return paths


def run(command, paths):
    return subprocess.Popen(command_line(command, paths), stdin=subprocess.DEVNULL,
                            start_new_session=True)


class QuillomarMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *arguments):
        # Nautilus 4 passes the selection alone, Nautilus 3 the window before it.
        files = arguments[-1]
        paths = local_paths(files)
        if not paths:
            return []
        top = Nautilus.MenuItem(name="Quillomar::Menu", label="Quillomar", tip="")
        submenu = Nautilus.Menu()
        top.set_submenu(submenu)
        single_file = len(files) == 1 and not files[0].is_directory()
        for label, command, tip in COMMANDS:
            if command == "info" and not single_file:
                continue
            item = Nautilus.MenuItem(name="Quillomar::" + command, label=label, tip=tip)
            item.connect("activate", lambda _item, c=command: run(c, paths))
            submenu.append_item(item)
        return [top]
