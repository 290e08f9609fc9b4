#!/bin/sh
# Installs silently under Wine, checks the files and keys, uninstalls silently and checks that
# nothing is left. Usage: installer_test.sh WINE_RUN PREFIX SETUP_EXE
set -u
wine_run=$1
prefix=$2
setup=$3
folder='C:\qxv-installer-test'
unix_folder="$prefix/drive_c/qxv-installer-test"
clsid='{2FF392DF-967F-4A20-93D3-161401529957}'
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
reg_value() { "$wine_run" "$prefix" reg query "$1" /ve 2>/dev/null | tr -d '\r' | grep REG_SZ; }
has_key() { "$wine_run" "$prefix" reg query "$1" >/dev/null 2>&1; }

[ -f "$setup" ] || { echo "FAIL: no installer at $setup"; exit 1; }
rm -rf "$unix_folder"

"$wine_run" "$prefix" "$setup" /S "/D=$folder" || fail "installer exit code $?"
for file in QXVShell.dll Uninstall.exe; do
    [ -f "$unix_folder/$file" ] || fail "$file not installed"
done
for key in 'HKCR\*\shellex\ContextMenuHandlers\Quillomar' \
           'HKCR\Directory\shellex\ContextMenuHandlers\Quillomar'; do
    reg_value "$key" | grep -q "$clsid" || fail "$key does not name the class"
done
reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -qi 'qxv-installer-test\\QXVShell.dll' ||
    fail "class not registered to the installed DLL"
has_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillomar' ||
    fail "no uninstall entry"

# The uninstaller copies itself away and returns at once: wait for its work.
"$wine_run" "$prefix" "$folder\\Uninstall.exe" /S || fail "uninstaller exit code $?"
for _ in $(seq 100); do
    [ -e "$unix_folder" ] || break
    sleep 0.2
done

[ -e "$unix_folder" ] && fail "program folder left: $(ls -A "$unix_folder")"
for key in 'HKCR\*\shellex\ContextMenuHandlers\Quillomar' \
           'HKCR\Directory\shellex\ContextMenuHandlers\Quillomar' \
           "HKCR\\CLSID\\$clsid" 'HKCR\Project4.MVShellExt' \
           'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillomar'; do
    has_key "$key" && fail "$key left behind"
done
"$wine_run" "$prefix" reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v "$clsid" \
    >/dev/null 2>&1 && fail "approval entry left behind"

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
exit "$failures"
