#!/usr/bin/env bash
# Runs one check on an older x86-64 processor, emulated by qemu-x86_64 with
# -cpu MODEL (see older_processors.cmake). Exits 77, which CTest counts as
# skipped, where qemu-x86_64 is not installed, and where the build's flags
# need extensions that MODEL lacks (J6ENC_BASELINE_LACKING names them).
#
# Usage: older_processor.sh MODEL unit-tests UNIT_TESTS
#          the path and detection tests
#        older_processor.sh MODEL paths-ran "FLAGS" UNIT_TESTS
#          .ci/paths_ran, with the model's FLAGS as CPU_FLAGS
#        older_processor.sh MODEL program J6ENC NATIVE_J6ENC
#          J6ENC on a file of several blocks gives NATIVE_J6ENC's bytes
set -euo pipefail
model=$1 part=$2
shift 2
if ! command -v qemu-x86_64 > /dev/null; then
    echo "skipped: qemu-x86_64 is not installed (Debian: apt-get install qemu-user)"
    exit 77
fi
if [[ -n ${J6ENC_BASELINE_LACKING-} ]]; then
    echo "skipped: the build's flags need $J6ENC_BASELINE_LACKING of every processor, which $model lacks"
    exit 77
fi
emulated=(qemu-x86_64 -cpu "$model")
ulimit -c 0 # no core file from a program that fails under emulation

case $part in
unit-tests)
    "${emulated[@]}" "$1" --gtest_filter='Paths/*:Detection.*'
    ;;
paths-ran)
    CPU_FLAGS=$1 "$(dirname "$0")/../.ci/paths_ran" "${emulated[@]}" "$2"
    ;;
program)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    head -c 5000 /dev/urandom > "$work/emulated"
    cp "$work/emulated" "$work/native"
    "${emulated[@]}" "$1" "$work/emulated"
    "$2" "$work/native"
    cmp "$work/emulated.DAT" "$work/native.DAT"
    echo "j6enc on $model gives the native bytes"
    ;;
*)
    echo "unknown part $part"
    exit 2
    ;;
esac
