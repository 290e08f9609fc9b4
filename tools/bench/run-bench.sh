#!/usr/bin/env bash
# Benchmark: our encryption and decryption of one file against openssl enc, cp (+ sync), ccrypt
# and gpg (where installed), run alternately so that every tool sees the same machine state;
# a folder of many small files against ccrypt -r; a folder of several large files side by side
# against one after another; the ciphers (toolkit_bench) beside `openssl speed`; and peak memory.
# Every measure with a target says whether this run met it.
#
# Usage: tools/bench/run-bench.sh [-n ROUNDS] [-s SIZE_MIB] [-r RSS_SIZE_MIB] [-k SMALL_FILES]
#                                 [-m MULTI_FILES] [-z MULTI_SIZE_MIB] [-j JOBS]
#                                 [-o SECTIONS] [BUILD_DIR]
# SECTIONS: a comma-separated choice of large, small, multi, ciphers, memory (default: all).
# JOBS: passed as --jobs to the folder runs where quillomar has that option.
# The native build folder defaults to build/native; the bench programs are built there.
# Work files go to $QXV_BENCH_DIR (default: a fresh folder under /tmp), removed at the end.
set -euo pipefail
cd "$(dirname "$0")/../.."

rounds=5
size_mib=256
rss_mib=1024
small_files=1000
multi_files=4
multi_mib=128
jobs=
sections=large,small,multi,ciphers,memory
while getopts "n:s:r:k:m:z:j:o:" opt; do
    case $opt in
    n) rounds=$OPTARG ;;
    s) size_mib=$OPTARG ;;
    r) rss_mib=$OPTARG ;;
    k) small_files=$OPTARG ;;
    m) multi_files=$OPTARG ;;
    z) multi_mib=$OPTARG ;;
    j) jobs=$OPTARG ;;
    o) sections=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
for section in ${sections//,/ }; do
    case $section in
    large | small | multi | ciphers | memory) ;;
    *) echo "run-bench.sh: unknown section $section (large, small, multi, ciphers, memory)" >&2; exit 2 ;;
    esac
done
selected() { [[ ",$sections," == *",$1,"* ]]; }
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
unattended=(--quiet --password-file "$work/password")
# Files side by side where quillomar has --jobs and -j was given; otherwise the batch as it runs.
jobs_option=()
if [ -n "$cli" ] && [ -n "$jobs" ]; then
    if "$cli" encrypt --help 2>&1 | grep -q -- '--jobs'; then
        jobs_option=(--jobs "$jobs")
    else
        echo "run-bench.sh: this quillomar has no --jobs; -j $jobs ignored" >&2
    fi
fi

have() { command -v "$1" >/dev/null 2>&1; }
say() { echo "run-bench.sh: $*" >&2; }

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
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
median_of() { echo "${times[$1]:-}" | median; }

# A row of a targets table: our median against the reference's, the ratio, the target (at most
# LIMIT) and whether this run met it.
target_header() {
    printf '| %-34s | %8s | %-26s | %8s | %6s | %7s | %-9s |\n' "measure" "ours ms" "reference" \
        "ref ms" "ratio" "target" "this run"
    printf '|%s|%s|%s|%s|%s|%s|%s|\n' "------------------------------------" "----------" \
        "----------------------------" "----------" "--------" "---------" "-----------"
}
target_row() { # NAME OURS_MS REFERENCE REF_MS LIMIT ("-": none)
    [ -n "$2" ] && [ -n "$4" ] || return 0
    awk -v n="$1" -v ms="$2" -v r="$3" -v ref="$4" -v limit="$5" 'BEGIN {
        ratio = ms / ref
        target = limit == "-" ? "-" : "<= " limit
        met = limit == "-" ? "-" : ratio <= limit + 0 ? "met" : "missed"
        printf "| %-34s | %8d | %-26s | %8d | %6.2f | %7s | %-9s |\n", n, ms, r, ref, ratio, target, met }'
}

# Peak resident memory of a command, in KiB.
peak_kib() {
    sync
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
memory_row() { # NAME PEAK_KIB FILES_IN_FLIGHT(number or "whole run")
    awk -v n="$1" -v kib="$2" -v flight="$3" 'BEGIN {
        per = flight ~ /^[0-9]+$/ ? kib / 1024 / flight : kib / 1024
        printf "| %-40s | %9.1f | %-15s | %9.1f | %7s | %-9s |\n", n, kib / 1024, flight, per,
            "< 8", (per < 8 ? "met" : "missed") }'
}

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
report="$work/report"
: >"$report"

# ---- One large file ----------------------------------------------------------------------------
cp_sync() { cp "$1" "$2" && sync "$2"; }

# One round of every contender; preparation (copies, removals) is not timed.
one_round() {
    cp "$src" "$work/ours.bin"
    if [ -n "$cli" ]; then
        record "ours encrypt (in place)" "$(elapsed_ms "$cli" encrypt --no-exe "${unattended[@]}" \
            "$work/ours.bin")"
        record "ours decrypt" "$(elapsed_ms "$cli" decrypt --keep "${unattended[@]}" \
            "$work/ours.bin.qxv")"
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
    record "cp + sync" "$(elapsed_ms cp_sync "$src" "$work/copy.bin")"
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

if selected large; then
    head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$src"
    for ((i = 1; i <= rounds; i++)); do
        say "large file, round $i of $rounds"
        one_round
    done
    rm -f "$src"
    {
        echo "## ${size_mib} MiB file, median of ${rounds} alternating rounds (page cache, sync between runs)"
        echo
        echo "ours: ${cli:-$bench} ($([ -n "$cli" ] && echo "quillomar command line tool" || echo "container engine"))"
        echo
        printf '| %-26s | %9s | %8s | %-22s |\n' "contender" "median ms" "MB/s" "ratio to openssl enc"
        printf '|%s|%s|%s|%s|\n' "----------------------------" "-----------" "----------" "------------------------"
        enc_ref=$(median_of "openssl enc")
        dec_ref=$(median_of "openssl enc -d")
        for name in "ours encrypt (in place)" "openssl enc" "ours decrypt" "openssl enc -d" "cp" \
            "cp + sync" "ccrypt -e (in place)" "ccrypt -d (in place)" "gpg -c (AES-128)" "gpg -d"; do
            [ -n "${times[$name]:-}" ] || continue
            ms=$(median_of "$name")
            case $name in
            *decrypt* | *-d*) ref=$dec_ref ;;
            *) ref=$enc_ref ;;
            esac
            awk -v n="$name" -v ms="$ms" -v ref="$ref" -v mib="$size_mib" 'BEGIN {
                printf "| %-26s | %9d | %8.0f | %22.2f |\n", n, ms, mib * 1048.576 / ms, ms / ref }'
        done
        echo "(ratio: time divided by openssl enc's, or by openssl enc -d's for decryption; below 1 is faster)"
        echo "(cp + sync: the copy, then sync of the copied file, i.e. its fsync)"
        echo
        target_header
        target_row "encrypt, ${size_mib} MiB" "$(median_of "ours encrypt (in place)")" "cp + sync" \
            "$(median_of "cp + sync")" 1.2
        target_row "decrypt, ${size_mib} MiB" "$(median_of "ours decrypt")" "cp + sync" \
            "$(median_of "cp + sync")" 1.2
        echo
    } >>"$report"
fi

# ---- Many small files --------------------------------------------------------------------------
# Fresh copies of a folder of random files, the same for every contender.
make_files() { # FOLDER COUNT SIZE_BYTES
    mkdir -p "$1"
    head -c "$(($2 * $3))" /dev/urandom | split -b "$3" -a 6 -d - "$1/file"
}
fresh_copy() {
    rm -rf "$2"
    cp -r "$1" "$2"
}

small_round() {
    fresh_copy "$work/small-src" "$work/small"
    record "quillomar encrypt FOLDER" "$(elapsed_ms "$cli" encrypt --no-exe "${unattended[@]}" \
        "${jobs_option[@]}" "$work/small")"
    record "quillomar decrypt FOLDER" "$(elapsed_ms "$cli" decrypt --no-keep "${unattended[@]}" \
        "${jobs_option[@]}" "$work/small")"
    diff -r "$work/small-src" "$work/small" >/dev/null || { echo "small files: our round trip failed" >&2; exit 1; }
    if have ccrypt; then
        fresh_copy "$work/small-src" "$work/small"
        record "ccrypt -e -r" "$(elapsed_ms ccrypt -e -r -f -K "$password" "$work/small")"
        record "ccrypt -d -r" "$(elapsed_ms ccrypt -d -r -f -K "$password" "$work/small")"
        diff -r "$work/small-src" "$work/small" >/dev/null || { echo "small files: ccrypt's round trip failed" >&2; exit 1; }
    fi
    rm -rf "$work/small"
}

if selected small; then
    if [ -z "$cli" ]; then
        say "no quillomar in this tree: the small files are not measured"
    else
        make_files "$work/small-src" "$small_files" 4096
        for ((i = 1; i <= rounds; i++)); do
            say "small files, round $i of $rounds"
            small_round
        done
        {
            echo "## A folder of ${small_files} files of 4 KiB, median of ${rounds} alternating rounds"
            echo
            [ ${#jobs_option[@]} -gt 0 ] && echo "ours with ${jobs_option[*]}" && echo
            target_header
            target_row "encrypt ${small_files} x 4 KiB" "$(median_of "quillomar encrypt FOLDER")" \
                "ccrypt -e -r" "$(median_of "ccrypt -e -r")" 3
            target_row "decrypt ${small_files} x 4 KiB" "$(median_of "quillomar decrypt FOLDER")" \
                "ccrypt -d -r" "$(median_of "ccrypt -d -r")" 2
            have ccrypt || echo "(ccrypt not installed: apt-get install ccrypt)"
            echo
        } >>"$report"
        rm -rf "$work/small-src"
    fi
fi

# ---- Several large files -----------------------------------------------------------------------
multi_made=false
make_multi() {
    $multi_made && return 0
    mkdir -p "$work/multi-src"
    for ((f = 1; f <= multi_files; f++)); do
        head -c "$((multi_mib * 1024 * 1024))" /dev/urandom >"$work/multi-src/large$f.bin"
    done
    multi_made=true
}
# The same files, one `quillomar encrypt FILE` after another.
one_after_another() {
    local file
    for file in "$@"; do
        "$cli" encrypt --no-exe "${unattended[@]}" "$file" || return 1
    done
}
expect_encrypted() {
    local made
    made=$(find "$1" -name '*.qxv' | wc -l)
    [ "$made" -eq "$multi_files" ] || { echo "several files: $made of $multi_files encrypted" >&2; exit 1; }
}

multi_round() {
    fresh_copy "$work/multi-src" "$work/multi"
    record "folder" "$(elapsed_ms "$cli" encrypt --no-exe "${unattended[@]}" "${jobs_option[@]}" \
        "$work/multi")"
    expect_encrypted "$work/multi"
    if [ ${#jobs_option[@]} -gt 0 ]; then
        fresh_copy "$work/multi-src" "$work/multi"
        record "folder, --jobs 1" "$(elapsed_ms "$cli" encrypt --no-exe "${unattended[@]}" --jobs 1 \
            "$work/multi")"
        expect_encrypted "$work/multi"
    fi
    fresh_copy "$work/multi-src" "$work/multi"
    record "one after another" "$(elapsed_ms one_after_another "$work"/multi/*.bin)"
    expect_encrypted "$work/multi"
    rm -rf "$work/multi"
}

if selected multi; then
    if [ -z "$cli" ]; then
        say "no quillomar in this tree: the several large files are not measured"
    else
        make_multi
        for ((i = 1; i <= rounds; i++)); do
            say "several large files, round $i of $rounds"
            multi_round
        done
        serial="${multi_files} x quillomar encrypt FILE"
        {
            echo "## A folder of ${multi_files} files of ${multi_mib} MiB on $(nproc) cores, median of ${rounds} alternating rounds"
            echo
            if [ ${#jobs_option[@]} -gt 0 ]; then
                echo "ours: quillomar encrypt ${jobs_option[*]} FOLDER"
            else
                echo "ours: quillomar encrypt FOLDER (no --jobs given: the batch as it runs files)"
            fi
            echo
            target_header
            target_row "encrypt ${multi_files} x ${multi_mib} MiB" "$(median_of "folder")" \
                "$serial" "$(median_of "one after another")" 0.65
            if [ ${#jobs_option[@]} -gt 0 ]; then
                target_row "the same, --jobs 1" "$(median_of "folder, --jobs 1")" "$serial" \
                    "$(median_of "one after another")" -
            fi
            echo
        } >>"$report"
    fi
fi

# ---- Ciphers -----------------------------------------------------------------------------------
if selected ciphers; then
    say "ciphers"
    # openssl speed counts user time by default, as toolkit_bench counts processor time.
    speed() { openssl speed "$@" -bytes 16384 -seconds 2 2>/dev/null | tail -1 | awk '{printf "%.1f", $2 / 1e3}'; }
    ours_ni=$("$toolkit")
    ours_tables=$(QXV_AES_PORTABLE=1 "$toolkit" | grep -E 'path|AES')
    ours() { echo "$ours_ni" | awk -v name="$1" 'index($0, name) == 1 {print $(NF - 1)}'; }
    ossl_aes_e=$(speed -evp aes-128-cbc)
    ossl_aes_d=$(speed -decrypt -evp aes-128-cbc)
    ossl_3des_e=$(speed -provider legacy -provider default -evp des-ede-cbc)
    ossl_3des_d=$(speed -decrypt -provider legacy -provider default -evp des-ede-cbc)
    ossl_des_e=$(speed -provider legacy -provider default -evp des-cbc)
    # A cipher row: ours against openssl speed, with its target: at least FLOOR MB/s, or at most
    # RATIO times slower than OpenSSL ("-": none).
    cipher_row() { # NAME OURS OPENSSL FLOOR RATIO
        awk -v n="$1" -v o="$2" -v s="$3" -v floor="$4" -v ratio="$5" 'BEGIN {
            target = floor != "-" ? ">= " floor : ratio != "-" ? "within " ratio "x" : "-"
            met = floor != "-" ? (o >= floor ? "met" : "missed") : \
                  ratio != "-" ? (o * ratio >= s ? "met" : "missed") : "-"
            printf "| %-28s | %9.1f | %9.1f | %-11s | %-9s |\n", n, o, s, target, met }'
    }
    {
        echo "## Ciphers through the mechanism layer, 16 KiB updates (MB per processor second)"
        echo
        echo "$ours_ni"
        echo "$ours_tables"
        echo
        printf '| %-28s | %9s | %9s | %-11s | %-9s |\n' "cipher" "ours" "openssl" "target" "this run"
        printf '|%s|%s|%s|%s|%s|\n' "------------------------------" "-----------" "-----------" \
            "-------------" "-----------"
        cipher_row "AES-128-CBC encrypt, NI" "$(ours "AES-128-CBC encrypt")" "$ossl_aes_e" 1200 -
        cipher_row "AES-128-CBC decrypt, NI" "$(ours "AES-128-CBC decrypt")" "$ossl_aes_d" 5000 -
        cipher_row "3DES (two keys) CBC encrypt" "$(ours "3DES-2key-CBC encrypt")" "$ossl_3des_e" - 1.2
        cipher_row "3DES (two keys) CBC decrypt" "$(ours "3DES-2key-CBC decrypt")" "$ossl_3des_d" - 1.2
        cipher_row "DES-CBC encrypt" "$(ours "DES-CBC encrypt")" "$ossl_des_e" - -
        echo
    } >>"$report"
fi

# ---- Peak memory -------------------------------------------------------------------------------
if selected memory; then
    say "peak memory"
    head -c "$((rss_mib * 1024 * 1024))" /dev/zero >"$work/big.bin"
    if [ -n "$cli" ]; then
        one_file=$(peak_kib "$cli" encrypt --no-exe "${unattended[@]}" "$work/big.bin")
        one_name="quillomar encrypt, one ${rss_mib} MiB file"
    else
        one_file=$(peak_kib "$bench" encrypt "$work/big.bin" "$password")
        one_name="qxv_bench encrypt, one ${rss_mib} MiB file"
    fi
    rm -f "$work/big.bin" "$work/big.bin.qxv"
    {
        echo "## Peak resident memory (/usr/bin/time -v)"
        echo
        printf '| %-40s | %9s | %-15s | %9s | %7s | %-9s |\n' "run" "peak MiB" "files in flight" \
            "MiB/file" "target" "this run"
        printf '|%s|%s|%s|%s|%s|%s|\n' "------------------------------------------" "-----------" \
            "-----------------" "-----------" "---------" "-----------"
        memory_row "$one_name" "$one_file" 1
    } >>"$report"
    if [ -n "$cli" ]; then
        make_multi
        fresh_copy "$work/multi-src" "$work/multi"
        folder=$(peak_kib "$cli" encrypt --no-exe "${unattended[@]}" "${jobs_option[@]}" "$work/multi")
        rm -rf "$work/multi"
        flight=${jobs_option[1]:-whole run}
        {
            memory_row "quillomar encrypt ${jobs_option[*]:+${jobs_option[*]} }${multi_files} x ${multi_mib} MiB" \
                "$folder" "$flight"
            [ "$flight" = "whole run" ] &&
                echo "(no --jobs given: the figure is for the whole run, held to the one-file target)"
        } >>"$report"
    fi
    echo >>"$report"
fi
rm -rf "$work/multi-src"

load_end=$(cut -d' ' -f1-3 /proc/loadavg)
fs_type=$(findmnt -n -o FSTYPE -T "$work" 2>/dev/null || stat -f -c %T "$work")
cpuinfo() { grep -m1 "^$1" /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'; }
cpu="$(cpuinfo 'model name') (family $(cpuinfo 'cpu family'), model $(cpuinfo 'model\s*:'))"
echo "# Machine: $cpu, $(nproc) cores, Linux $(uname -r), work folder on $fs_type; load average at start $load_start, at end $load_end"
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(openssl version | cut -d' ' -f1-2)$(have ccrypt && ccrypt --version | awk 'NR == 1 {sub(/\.$/, "", $2); print ", " $1 " " $2}')"
echo
cat "$report"
