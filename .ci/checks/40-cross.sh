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

register cross_aarch64 "aarch64 cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_aarch64() { cross_tests aarch64; }
register cross_s390x "s390x (big-endian) cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_s390x() { cross_tests s390x; }
register cross_ppc64el "ppc64el cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_ppc64el() { cross_tests ppc64el; }
register cross_riscv64 "riscv64 cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_riscv64() { cross_tests riscv64; }
register cross_i386 "i386 cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_i386() { cross_tests i386; }
register cross_armhf "armhf cross build: unit tests and every path under qemu-user, the native bytes"
check_cross_armhf() { cross_tests armhf; }

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
