#!/usr/bin/env bash
# Benchmark of the self-decrypting stub: a self-decrypting file of SIZE MiB (the Linux qxvsd
# followed by an AES container from the tests' independent writer) decrypts itself; time and peak memory beside
# openssl enc -d over the same amount of data, and the sizes of both stubs where built.
#
# Usage: tools/bench/stub-bench.sh [-s SIZE_MIB] [BUILD_DIR]   (default 256 MiB, build/native)
set -euo pipefail
cd "$(dirname "$0")/../.."

size_mib=256
while getopts "s:" opt; do
    case $opt in
    s) size_mib=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build/native}
. tools/require.sh
require stub-bench.sh cmake:cmake ninja:ninja-build g++:g++ /usr/bin/python3:python3-cryptography /usr/bin/time:time

[ -f "$build/build.ninja" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQXV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target qxvsd -j2 >/dev/null
stub=$(realpath "$build/stub/qxvsd")

work=$(mktemp -d /tmp/qxvsd-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
password=correct-horse-battery

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/plain.bin"
PYTHONPATH=tests/stub /usr/bin/python3 - "$work" "$password" <<'PY'
import sys, write_containers
work, password = sys.argv[1], sys.argv[2].encode()
with open(work + "/plain.bin", "rb") as f:
    plain = f.read()
with open(work + "/data.qxv", "wb") as f:
    f.write(write_containers.container("AES", plain, password=password))
PY
cat "$stub" "$work/data.qxv" >"$work/data.bin.exe"
chmod +x "$work/data.bin.exe"
rm "$work/data.qxv"

# The stub reads the password and the name from standard input; no xdg-open on its PATH.
sync
start=$(date +%s%N)
printf '%s\n\n' "$password" | PATH=/nonexistent /usr/bin/time -f '%M' -o "$work/rss" \
    "$work/data.bin.exe" 2>/dev/null || true
end=$(date +%s%N)
cmp -s "$work/plain.bin" "$work/data.bin" || { echo "qxvsd gave other bytes" >&2; exit 1; }
stub_ms=$(((end - start) / 1000000))

key=000102030405060708090a0b0c0d0e0f
openssl enc -aes-128-cbc -K $key -iv 00000000000000000000000000000000 -in "$work/plain.bin" \
    -out "$work/o.enc"
sync
start=$(date +%s%N)
openssl enc -d -aes-128-cbc -K $key -iv 00000000000000000000000000000000 -in "$work/o.enc" \
    -out "$work/o.dec"
end=$(date +%s%N)
openssl_ms=$(((end - start) / 1000000))

echo "## qxvsd decrypting a ${size_mib} MiB self-decrypting file"
echo
echo "| contender | ms | MB/s |"
echo "|---|---|---|"
awk -v ms="$stub_ms" -v mib="$size_mib" 'BEGIN { printf "| qxvsd | %d | %.0f |\n", ms, mib * 1048.576 / ms }'
awk -v ms="$openssl_ms" -v mib="$size_mib" 'BEGIN { printf "| openssl enc -d | %d | %.0f |\n", ms, mib * 1048.576 / ms }'
echo
echo "qxvsd peak RSS: $(awk '{printf "%.1f MiB", $1 / 1024}' "$work/rss")"
echo
for file in "$stub" build/win64/stub/qxvsd.exe; do
    [ -f "$file" ] && echo "stub size: $(stat -c %s "$file") bytes  $file"
done
