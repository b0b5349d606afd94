# shellcheck shell=bash
# The cross builds for other Linux architectures, run under qemu-user.

# A cross build: its unit tests under qemu-user (which skip a path that the
# processor cannot run; .ci/paths_ran fails when a path that it supports did
# not run), its paths' compile flags against the path table (.ci/path_flags,
# as the native build's), and its j6enc giving the native build's bytes for
# files around the block size and one of more than 32 MiB, past the block
# index's wrap at 65536 blocks.
cross_tests() {
    local build=build/$1 run work size
    needs build "$1"
    needs build release
    ctest --preset "$1"
    read -ra run <<< "$(emulator "$build")"
    .ci/paths_ran "${run[@]}" "$build/tests/j6enc_unit_tests"
    .ci/path_flags "$build" "${run[@]}" "$build/tests/j6enc_unit_tests"
    work=$(mktemp -d)
    for size in 0 1 511 512 513 $((33 * 1024 * 1024 + 777)); do
        size_matches_release "$size" "$work" "${run[@]}" "$PWD/$build/j6enc"
    done
    echo "the same bytes as the native build for 0, 1, 511, 512, 513 and $size bytes"
    rm -rf "$work"
}

# check_cross_aarch64 ... check_cross_armhf, one for each cross preset.
for preset in aarch64 s390x ppc64el riscv64 i386 armhf; do
    register "cross_$preset" "$preset cross build: unit tests and every path under qemu-user, the native bytes"
    eval "check_cross_$preset() { cross_tests $preset; }"
done

# The j6enc of a 32-bit cross build under qemu-user encrypts files past 2 GiB
# and 4 GiB (.ci/large_files), giving the native build's bytes.
large_files_emulated() {
    local run
    needs build "$1"
    needs build release
    read -ra run <<< "$(emulator "build/$1")"
    .ci/large_files build/release/j6enc "${run[@]}" "$PWD/build/$1/j6enc"
}
register cross_i386_large_files "i386 under qemu-user: files past 2 and 4 GiB, the native bytes"
check_cross_i386_large_files() { large_files_emulated i386; }
register cross_armhf_large_files "armhf under qemu-user: files past 2 and 4 GiB, the native bytes"
check_cross_armhf_large_files() { large_files_emulated armhf; }

# The same for the i386 build run natively, with the loader and libraries of
# the cross toolchain, where the kernel's own large-file checks apply; and a
# FIFO input of 2^31 + 4096 bytes. Skipped where the kernel runs no 32-bit
# x86 programs.
register cross_i386_large_files_native "i386 run natively: files past 2 and 4 GiB, and 2 GiB from a FIFO, the native bytes"
check_cross_i386_large_files_native() {
    local lib=/usr/i686-linux-gnu/lib
    "$lib/ld-linux.so.2" --version > /dev/null 2>&1 \
        || skip "this kernel runs no 32-bit x86 programs (its ia32 emulation is off)"
    needs build i386
    needs build release
    .ci/large_files --fifo build/release/j6enc "$lib/ld-linux.so.2" --library-path "$lib" build/i386/j6enc
}

# clang++ compiles the transform for aarch64 too, without a warning. The
# aarch64 build and its tests use g++; this catches what only clang rejects
# there, such as its tighter limit on constant evaluation.
register cross_clang_aarch64 "clang++ compiles the transform for aarch64 without a warning"
check_cross_clang_aarch64() {
    local out source
    out=$(mktemp -d)
    for source in src/encryptor.cpp src/cpu_features.cpp src/block_*.cpp; do
        clang++ --target=aarch64-linux-gnu -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -Isrc \
            -c "$source" -o "$out/$(basename "$source").o"
    done
    rm -rf "$out"
}
