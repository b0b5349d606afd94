#!/usr/bin/env bash
# Whole-file speed and memory of j6enc, measured side by side in one run:
#   - j6enc on a file already in the page cache (its output removed first),
#   - copying the file (cat FILE > /dev/null, and cat FILE > COPY),
#   - the block transform alone for the same number of bytes, from the
#     encrypt_block figure of j6enc_bench,
#   - peak resident memory of j6enc on a 1 MiB and on the full-size file.
# Each time is the best of several interleaved rounds, so that load from
# elsewhere on the machine affects every figure alike.
#
# Usage: bench/whole_file.sh [SIZE_MIB [ROUNDS]]   (defaults: 256 and 5)
# Needs the release build (cmake --workflow --preset release) and /usr/bin/time.
set -euo pipefail

size_mib=${1:-256}
rounds=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
j6enc=$root/build/release/j6enc
bench=$root/build/release/bench/j6enc_bench
for tool in "$j6enc" "$bench" /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing $tool: build with 'cmake --workflow --preset release'" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/j6enc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom > "$work/in.bin"
head -c $((1024 * 1024)) /dev/urandom > "$work/small.bin"
cat "$work/in.bin" "$work/small.bin" > /dev/null

now() { date +%s%N; }
# Prints the nanoseconds that "$@" takes.
elapsed() {
    local start
    start=$(now)
    "$@" > /dev/null
    echo $(($(now) - start))
}
min() { if (($1 < $2)); then echo "$1"; else echo "$2"; fi; }
encrypt() { rm -f "$work/in.bin.DAT"; sync; elapsed "$j6enc" "$work/in.bin"; }
read_only() { elapsed sh -c 'cat "$1" > /dev/null' sh "$work/in.bin"; }
copy() { rm -f "$work/copy"; sync; elapsed sh -c 'cat "$1" > "$2"' sh "$work/in.bin" "$work/copy"; }
# Nanoseconds that encrypt_block needs for $bytes, from its bytes per second.
transform() {
    local rate
    rate=$("$bench" --benchmark_filter='^encrypt_block/closed_form$' --benchmark_format=json 2> /dev/null \
        | sed -n 's/.*"bytes_per_second": *\([0-9.e+]*\).*/\1/p')
    awk -v b="$bytes" -v r="$rate" 'BEGIN { printf "%d\n", b / r * 1e9 }'
}

best_encrypt=999999999999 best_read=999999999999 best_copy=999999999999 best_transform=999999999999
for ((round = 1; round <= rounds; round++)); do
    t=$(encrypt); best_encrypt=$(min "$best_encrypt" "$t")
    t=$(read_only); best_read=$(min "$best_read" "$t")
    t=$(copy); best_copy=$(min "$best_copy" "$t")
    t=$(transform); best_transform=$(min "$best_transform" "$t")
done
rm -f "$work/copy"

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

awk -v mib="$size_mib" -v rounds="$rounds" -v e="$best_encrypt" -v r="$best_read" -v c="$best_copy" \
    -v t="$best_transform" -v ps="$peak_small" -v pl="$peak_large" 'BEGIN {
    printf "file: %d MiB in the page cache; best of %d rounds\n", mib, rounds
    printf "%-34s %8.3f s  %6.1f MiB/s\n", "j6enc FILE", e / 1e9, mib / (e / 1e9)
    printf "%-34s %8.3f s  %6.1f MiB/s\n", "encrypt_block alone (j6enc_bench)", t / 1e9, mib / (t / 1e9)
    printf "%-34s %8.3f s\n", "cat FILE > /dev/null", r / 1e9
    printf "%-34s %8.3f s\n", "cat FILE > COPY", c / 1e9
    printf "j6enc / transform alone: %.3f\n", e / t
    printf "peak resident memory: 1 MiB input %d KiB, %d MiB input %d KiB (difference %d KiB)\n", ps, mib, pl, pl - ps
}'
