#!/usr/bin/env bash
# Benchmark: our encryption and decryption of one file against openssl enc, cp, ccrypt and gpg
# (where installed), run alternately so that every tool sees the same machine state; then the
# ciphers (toolkit_bench) beside `openssl speed`, and the peak memory of encrypting a larger file.
#
# Usage: tools/bench/run-bench.sh [-n ROUNDS] [-s SIZE_MIB] [-r RSS_SIZE_MIB] [BUILD_DIR]
# The native build folder defaults to build/native; the bench programs are built there.
# Work files go to $QXV_BENCH_DIR (default: a fresh folder under /tmp), removed at the end.
set -euo pipefail
cd "$(dirname "$0")/../.."

rounds=5
size_mib=256
rss_mib=1024
while getopts "n:s:r:" opt; do
    case $opt in
    n) rounds=$OPTARG ;;
    s) size_mib=$OPTARG ;;
    r) rss_mib=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build/native}
. tools/require.sh
# The references (ccrypt, gpg, 7z) are timed where installed; these are needed.
require run-bench.sh cmake:cmake ninja:ninja-build g++:g++ openssl:openssl /usr/bin/time:time

[ -f "$build/build.ninja" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQXV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target qxv_bench toolkit_bench -j2 >/dev/null
bench=$(realpath "$build/tools/bench/qxv_bench")
# Our side runs through the quillomar command line tool where the tree has it (unattended:
# password from a file, no questions, settings in the work folder), else through the engine.
cli=
if [ -f cli/CMakeLists.txt ] && cmake --build "$build" --target quillomar -j2 >/dev/null 2>&1; then
    cli=$(realpath "$build/cli/quillomar")
fi
toolkit=$(realpath "$build/tools/bench/toolkit_bench")

work=${QXV_BENCH_DIR:-$(mktemp -d /tmp/qxv-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
password=correct-horse-battery
key=000102030405060708090a0b0c0d0e0f
iv=00000000000000000000000000000000

src="$work/plain.bin"
echo "$password" >"$work/password"
export XDG_CONFIG_HOME="$work/config"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$src"

have() { command -v "$1" >/dev/null 2>&1; }

# Times one command in milliseconds, after flushing dirty pages of earlier runs (not timed).
# Every tool reads from and writes to the page cache alike.
elapsed_ms() {
    sync
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

declare -A times
record() { times[$1]="${times[$1]:-} $2"; }

# One round of every contender; preparation (copies, removals) is not timed.
one_round() {
    cp "$src" "$work/ours.bin"
    if [ -n "$cli" ]; then
        record "ours encrypt (in place)" "$(elapsed_ms "$cli" encrypt --no-exe --quiet \
            --password-file "$work/password" "$work/ours.bin")"
        record "ours decrypt" "$(elapsed_ms "$cli" decrypt --keep --quiet \
            --password-file "$work/password" "$work/ours.bin.qxv")"
        mv "$work/ours.bin" "$work/ours.out"
    else
        record "ours encrypt (in place)" "$(elapsed_ms "$bench" encrypt "$work/ours.bin" "$password")"
        record "ours decrypt" "$(elapsed_ms "$bench" decrypt "$work/ours.bin" "$work/ours.out" "$password")"
    fi
    cmp -s "$src" "$work/ours.out" || { echo "round trip of our tool failed" >&2; exit 1; }
    rm -f "$work/ours.bin" "$work/ours.bin.qxv" "$work/ours.out"

    record "openssl enc" "$(elapsed_ms openssl enc -aes-128-cbc -K $key -iv $iv -in "$src" -out "$work/o.enc")"
    record "openssl enc -d" "$(elapsed_ms openssl enc -d -aes-128-cbc -K $key -iv $iv -in "$work/o.enc" -out "$work/o.dec")"
    rm -f "$work/o.enc" "$work/o.dec"

    record "cp" "$(elapsed_ms cp "$src" "$work/copy.bin")"
    rm -f "$work/copy.bin"

    if have ccrypt; then
        cp "$src" "$work/c.bin"
        record "ccrypt -e (in place)" "$(elapsed_ms ccrypt -e -f -K "$password" "$work/c.bin")"
        record "ccrypt -d (in place)" "$(elapsed_ms ccrypt -d -f -K "$password" "$work/c.bin.cpt")"
        rm -f "$work/c.bin" "$work/c.bin.cpt"
    fi
    if have gpg; then
        local g=(gpg --batch --yes --quiet --homedir "$work/gnupg" --pinentry-mode loopback
            --passphrase "$password")
        mkdir -p -m 700 "$work/gnupg"
        record "gpg -c (AES-128)" "$(elapsed_ms "${g[@]}" --symmetric --cipher-algo AES128 \
            --compress-algo none -o "$work/g.gpg" "$src")"
        record "gpg -d" "$(elapsed_ms "${g[@]}" --decrypt -o "$work/g.dec" "$work/g.gpg")"
        rm -f "$work/g.gpg" "$work/g.dec"
    fi
}

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for ((i = 1; i <= rounds; i++)); do one_round; done

echo "## ${size_mib} MiB file, median of ${rounds} alternating rounds (page cache, sync between runs)"
echo
echo "ours: ${cli:-$bench} ($([ -n "$cli" ] && echo "quillomar command line tool" || echo "container engine"))"
echo
printf '| %-26s | %9s | %8s | %-22s |\n' "contender" "median ms" "MB/s" "ratio to openssl enc"
printf '|%s|%s|%s|%s|\n' "----------------------------" "-----------" "----------" "------------------------"
enc_ref=$(echo "${times[openssl enc]}" | median)
dec_ref=$(echo "${times[openssl enc -d]}" | median)
for name in "ours encrypt (in place)" "openssl enc" "ours decrypt" "openssl enc -d" "cp" \
    "ccrypt -e (in place)" "ccrypt -d (in place)" "gpg -c (AES-128)" "gpg -d"; do
    [ -n "${times[$name]:-}" ] || continue
    ms=$(echo "${times[$name]}" | median)
    case $name in
    *decrypt* | *-d*) ref=$dec_ref ;;
    *) ref=$enc_ref ;;
    esac
    awk -v n="$name" -v ms="$ms" -v ref="$ref" -v mib="$size_mib" 'BEGIN {
        printf "| %-26s | %9d | %8.0f | %22.2f |\n", n, ms, mib * 1048.576 / ms, ms / ref }'
done
echo "(ratio: time divided by openssl enc's, or by openssl enc -d's for decryption; below 1 is faster)"

echo
echo "## Ciphers through the mechanism layer, 16 KiB updates (MB per processor second)"
echo
"$toolkit"
QXV_AES_PORTABLE=1 "$toolkit" | grep -E 'path|AES'
# openssl speed counts user time by default, as toolkit_bench counts processor time.
speed() { openssl speed "$@" -bytes 16384 -seconds 2 2>/dev/null | tail -1 | awk '{printf "%9.1f MB/s\n", $2 / 1e3}'; }
echo "openssl speed aes-128-cbc encrypt  $(speed -evp aes-128-cbc)"
echo "openssl speed aes-128-cbc decrypt  $(speed -decrypt -evp aes-128-cbc)"
echo "openssl speed des-ede-cbc encrypt  $(speed -provider legacy -provider default -evp des-ede-cbc)"
echo "openssl speed des-ede-cbc decrypt  $(speed -decrypt -provider legacy -provider default -evp des-ede-cbc)"
echo "openssl speed des-cbc encrypt      $(speed -provider legacy -provider default -evp des-cbc)"

echo
echo "## Peak memory, encrypting a ${rss_mib} MiB file in place"
rm -f "$src"
head -c "$((rss_mib * 1024 * 1024))" /dev/zero >"$work/big.bin"
/usr/bin/time -v "$bench" encrypt "$work/big.bin" "$password" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ {printf "peak RSS %.1f MiB\n", $2 / 1024}'
