#!/usr/bin/env bash
# Whole-file speed and memory of j6enc, measured side by side in one run.
# Every round times, one after the other on the same file in the page cache:
#   - j6enc FILE,
#   - cat FILE > COPY (reading and writing the file, nothing else),
#   - openssl enc -aes-128-ctr on the same file (a stream cipher for scale),
# each with its old output removed (and written back) first. A round's ratios
# compare runs taken moments apart, so load from elsewhere on the machine
# moves both sides of a ratio alike; the medians over the rounds are quoted.
# Also reported: encrypt_blocks alone for the same bytes (from j6enc_bench), as
# the program calls it, and
# the peak resident memory of j6enc for a 1 MiB and a full-size input.
#
# Usage: bench/whole_file.sh [SIZE_MIB [ROUNDS]]   (defaults: 256 and 9)
#   J6ENC_BUILD, when set, names another benchmark build to measure, such as
#   one configured with -DJ6ENC_VECTOR_PATHS=OFF.
#   J6ENC_VS, when set, names another j6enc program (an earlier version's,
#   say), timed in every round too, right after the first.
# Needs the benchmark build (cmake --workflow --preset bench), openssl and
# /usr/bin/time.
set -euo pipefail

size_mib=${1:-256}
rounds=${2:-9}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${J6ENC_BUILD:-$root/build/bench}
j6enc=$build/j6enc
bench=$build/bench/j6enc_bench
other=${J6ENC_VS:-}
for tool in "$j6enc" "$bench" /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing $tool: build with 'cmake --workflow --preset bench'" >&2; exit 1; }
done
command -v openssl > /dev/null || { echo "missing openssl" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/j6enc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom > "$work/in.bin"
head -c $((1024 * 1024)) /dev/urandom > "$work/small.bin"
cat "$work/in.bin" "$work/small.bin" > /dev/null

now() { date +%s%N; }
# Prints the nanoseconds that "$@" takes, after removing the output file $1.
timed() {
    local output=$1 start
    shift
    rm -f "$output"
    sync
    start=$(now)
    "$@" > /dev/null
    echo $(($(now) - start))
}
encrypt() { timed "$work/in.bin.DAT" "$j6enc" "$work/in.bin"; }
versus() { if [[ -n $other ]]; then timed "$work/in.bin.DAT" "$other" "$work/in.bin"; else echo 1; fi; }
copy() { timed "$work/copy" sh -c 'cat "$1" > "$2"' sh "$work/in.bin" "$work/copy"; }
aes() {
    timed "$work/aes" openssl enc -aes-128-ctr -K 000102030405060708090a0b0c0d0e0f \
        -iv 0f0e0d0c0b0a09080706050403020100 -in "$work/in.bin" -out "$work/aes"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/times"
for ((round = 1; round <= rounds; round++)); do
    echo "$(encrypt) $(versus) $(copy) $(aes)" >> "$work/times"
done
rm -f "$work/copy" "$work/aes" "$work/in.bin.DAT"

# encrypt_blocks alone: the dispatched path's bytes per second on runs of
# 512 blocks, as the program reads them, as a time for the file's bytes.
rate=$("$bench" --benchmark_filter='^encrypt_blocks/dispatched$' --benchmark_format=json 2> /dev/null \
    | sed -n 's/.*"bytes_per_second": *\([0-9.e+]*\).*/\1/p')
transform=$(awk -v b="$bytes" -v r="$rate" 'BEGIN { printf "%d\n", b / r * 1e9 }')

# Largest peak resident set of three runs. Address-space randomisation moves
# the peak by a few hundred KiB from run to run, so it is switched off here
# where setarch can do that.
norandom=()
if setarch "$(uname -m)" -R true 2> /dev/null; then norandom=(setarch "$(uname -m)" -R); fi
peak() {
    local kib largest=0
    for _ in 1 2 3; do
        kib=$("${norandom[@]}" /usr/bin/time -f %M "$j6enc" "$1" 2>&1 > /dev/null | tail -n 1)
        ((kib > largest)) && largest=$kib
    done
    echo "$largest"
}
peak_small=$(peak "$work/small.bin")
peak_large=$(peak "$work/in.bin")

column() { awk -v c="$1" '{ print $c }' "$work/times" | median; }
ratio() { awk -v a="$1" -v b="$2" '{ print $a / $b }' "$work/times" | median; }
awk -v mib="$size_mib" -v rounds="$rounds" -v e="$(column 1)" -v c="$(column 3)" -v a="$(column 4)" \
    -v t="$transform" -v rc="$(ratio 1 3)" -v ra="$(ratio 1 4)" -v ps="$peak_small" -v pl="$peak_large" \
    -v other="$other" -v o="$(column 2)" -v ro="$(ratio 1 2)" 'BEGIN {
    printf "file: %d MiB in the page cache; medians of %d rounds\n", mib, rounds
    printf "%-38s %8.3f s  %7.1f MiB/s\n", "j6enc FILE", e / 1e9, mib / (e / 1e9)
    if (other != "") printf "%-38s %8.3f s  %7.1f MiB/s (%s)\n", "J6ENC_VS FILE", o / 1e9, mib / (o / 1e9), other
    printf "%-38s %8.3f s\n", "cat FILE > COPY", c / 1e9
    printf "%-38s %8.3f s\n", "openssl enc -aes-128-ctr", a / 1e9
    printf "%-38s %8.3f s  %7.1f MiB/s\n", "encrypt_blocks alone (j6enc_bench)", t / 1e9, mib / (t / 1e9)
    printf "j6enc / cat FILE > COPY, median of paired rounds:  %.2f\n", rc
    printf "j6enc / openssl aes-128-ctr, median of paired rounds: %.2f\n", ra
    if (other != "") printf "j6enc / J6ENC_VS, median of paired rounds: %.3f\n", ro
    printf "peak resident memory: 1 MiB input %d KiB, %d MiB input %d KiB (difference %d KiB)\n", ps, mib, pl, pl - ps
}'
