#!/usr/bin/env bash
# A file beyond 4 GiB through the whole tool: `quillomar encrypt`, the self-decrypting stub on
# the container (stub + container, so the trailer search runs on a file above 4 GiB), and
# `quillomar decrypt`, each compared with the original, with time and peak memory beside
# `openssl enc` on the same file. Too long for the test suite; run by hand.
#
# Usage: tools/bench/big-roundtrip.sh [-s SIZE_MIB] [BUILD_DIR]   (default 5120 MiB, build/native)
set -euo pipefail
cd "$(dirname "$0")/../.."

size_mib=5120
while getopts "s:" opt; do
    case $opt in
    s) size_mib=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build/native}
. tools/require.sh
require big-roundtrip.sh cmake:cmake ninja:ninja-build g++:g++ openssl:openssl /usr/bin/time:time

[ -f "$build/build.ninja" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQXV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target quillomar qxvsd -j2 >/dev/null
tool=$(realpath "$build/cli/quillomar")
stub=$(realpath "$build/stub/qxvsd")

work=$(mktemp -d "${TMPDIR:-/tmp}/qxv-big.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" # the tool's settings stay out of the user's
password=correct-horse-battery
printf '%s\n' "$password" >"$work/pw"
key=000102030405060708090a0b0c0d0e0f
iv=00000000000000000000000000000000

# Runs a step under /usr/bin/time and prints its wall time and peak memory.
timed() {
    local what=$1
    shift
    sync
    /usr/bin/time -f '%e %M' -o "$work/time" "$@"
    read -r seconds kib <"$work/time"
    printf '%-34s %8.2f s %8d KiB peak\n' "$what" "$seconds" "$kib"
}

echo "making $size_mib MiB of pseudo-random data"
# openssl ends on the broken pipe once head has enough.
(openssl enc -aes-128-ctr -K $key -iv $iv -in /dev/zero 2>/dev/null || true) |
    head -c "$((size_mib * 1024 * 1024))" >"$work/plain.bin"
sum=$(sha256sum <"$work/plain.bin")
same() { [ "$(sha256sum <"$1")" = "$sum" ] || { echo "FAILED: $1 differs" >&2; exit 1; }; }

timed "openssl enc -aes-128-cbc" openssl enc -aes-128-cbc -K $key -iv $iv \
    -in "$work/plain.bin" -out "$work/o.enc"
timed "openssl enc -d -aes-128-cbc" openssl enc -d -aes-128-cbc -K $key -iv $iv \
    -in "$work/o.enc" -out "$work/o.dec"
same "$work/o.dec"
rm "$work/o.enc" "$work/o.dec"

timed "quillomar encrypt (in place)" "$tool" encrypt --quiet --no-exe --password-file "$work/pw" \
    "$work/plain.bin"
[ ! -e "$work/plain.bin" ] && [ -f "$work/plain.bin.qxv" ]
echo "container: $(stat -c %s "$work/plain.bin.qxv") bytes"
"$tool" info "$work/plain.bin.qxv" | sed 's/^/  /'

cat "$stub" "$work/plain.bin.qxv" >"$work/self.bin.exe"
chmod +x "$work/self.bin.exe"
# The stub reads the password and the name from standard input; no xdg-open on its PATH.
printf '%s\n\n' "$password" >"$work/stub-answers"
timed "qxvsd (stub + container)" /usr/bin/env PATH=/nonexistent /bin/sh -c \
    "'$work/self.bin.exe' <'$work/stub-answers' 2>/dev/null || true"
same "$work/self.bin"
rm "$work/self.bin.exe" "$work/self.bin"

timed "quillomar decrypt" "$tool" decrypt --quiet --keep --password-file "$work/pw" \
    "$work/plain.bin.qxv"
same "$work/plain.bin"
echo "round trip of $size_mib MiB: identical"
