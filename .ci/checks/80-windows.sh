# shellcheck shell=bash
# The Windows build, cross-built with MinGW-w64 and run under wine.

# The ZIP, built as the README says, is named for the version and holds
# exactly the program, the licence and README.txt, in CRLF lines; its program
# needs no DLL but Windows' own, and gives the Linux build's bytes.
register windows_zip "the Windows ZIP: exactly its three files, no DLL but Windows' own, the Linux bytes"
check_windows_zip() {
    local version work dir
    needs build release
    needs wine
    rm -f build/windows-zip/j6enc-*.zip
    cmake --workflow --preset windows-zip
    version=$(version_of windows-zip)
    work=$(mktemp -d)
    dir=$work/j6enc-$version-win64
    (cd "$work" && cmake -E tar xf "$OLDPWD/build/windows-zip/j6enc-$version-win64.zip")
    diff <(printf '%s\n' LICENSE README.txt j6enc.exe) <(cd "$dir" && find . -type f | sed 's|^\./||' | sort)
    if grep -v $'\r$' "$dir/README.txt" "$dir/LICENSE"; then return 1; fi
    x86_64-w64-mingw32-objdump -p "$dir/j6enc.exe" | sed -n 's/.*DLL Name: /needs /p'
    if x86_64-w64-mingw32-objdump -p "$dir/j6enc.exe" | grep 'DLL Name: lib'; then return 1; fi
    matches_release "$work" wine "$dir/j6enc.exe"
    rm -rf "$work"
}

register windows_tests "Windows cross build (MinGW-w64), unit tests under wine"
check_windows_tests() {
    needs build windows
    needs wine
    ctest --preset windows
}

register windows_paths_ran "every path this processor supports ran under wine"
check_windows_paths_ran() {
    needs build windows
    needs wine
    .ci/paths_ran wine build/windows/tests/j6enc_unit_tests.exe
}

register windows_path_flags "each path's file in the Windows build is compiled for exactly its features"
check_windows_path_flags() {
    needs build windows
    needs wine
    .ci/path_flags build/windows wine build/windows/tests/j6enc_unit_tests.exe
}

# clang-tidy over the Windows build's sources, which the release build
# compiles without their Windows parts, with MinGW's C++ headers.
register windows_tidy "clang-tidy over the Windows sources"
check_windows_tidy() {
    local gcc
    needs build windows
    gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    clang-tidy --quiet -p build/windows --extra-arg="-isystem$gcc/include/c++" \
        --extra-arg="-isystem$gcc/include/c++/x86_64-w64-mingw32" src/files_windows.cpp src/files.cpp src/main.cpp
}

# The program tests, built for Linux in build/dev, run against j6enc.exe
# under wine; those that need POSIX skip themselves.
register windows_program_tests "the program tests against j6enc.exe under wine"
check_windows_program_tests() {
    needs build windows
    needs build dev j6enc_program_tests
    needs wine
    J6ENC_WINDOWS_EXE="$PWD/build/windows/j6enc.exe" build/dev/tests/j6enc_program_tests
}

register windows_other_volume "j6enc.exe writes another volume's file with the input's file id"
check_windows_other_volume() {
    local status=0
    needs build windows
    needs build release
    .ci/windows_other_volume build/windows/j6enc.exe build/release/j6enc || status=$?
    ((status != 77)) || skip "this process may not mount file systems"
    return $status
}
