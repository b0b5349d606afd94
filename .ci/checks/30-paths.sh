# shellcheck shell=bash
# The block transform's paths: that each one this processor can run was
# tested, and that each path's file is compiled for its features alone.

register paths_ran_self_test ".ci/paths_ran tells a skipped path, on canned results"
check_paths_ran_self_test() { .ci/paths_ran_test; }

register path_flags_self_test ".ci/path_flags tells a row that names other features, on a canned build"
check_path_flags_self_test() { .ci/path_flags_test; }

register paths_ran "every path this processor supports ran in the dev build's unit tests"
check_paths_ran() {
    needs build dev
    .ci/paths_ran build/dev/tests/j6enc_unit_tests
}

register path_flags "each path's file in the dev build is compiled for exactly its features"
check_path_flags() {
    needs build dev
    .ci/path_flags build/dev build/dev/tests/j6enc_unit_tests
}

# Every file of a path that needs extensions beyond the baseline defines no
# global function but the path's entry points. Compiled for those extensions,
# it would otherwise offer its own copy of a shared inline function, and the
# linker could keep that copy for the whole program, which would then fail on
# processors without them. (A path that needs none, such as the portable
# one, is compiled as the rest of the program is, and its copies are theirs.
# __clang_call_terminate only calls std::terminate.) The paths and what each
# needs come from the unit tests' listing of the path table.
register path_entry_points "each path's file defines only its entry points (release, dev and clang builds)"
check_path_entry_points() {
    local path features object extra status=0
    needs build release
    needs build dev
    needs build clang
    while read -r path features; do
        [[ $features != "needs {}" ]] || continue
        for object in build/{release,dev,clang}/CMakeFiles/j6enc_encryptor.dir/src/block_$path.cpp.o; do
            [[ -f $object ]] || { echo "$object: missing"; status=1; continue; }
            extra=$(nm --defined-only -C "$object" | awk '$2 == "T" || $2 == "W"' \
                | grep -vE ' T encrypt_blocks?_[a-z0-9_]+\(| W __clang_call_terminate$' || true)
            if [[ -n $extra ]]; then
                echo "$object: $extra"
                status=1
            fi
        done
    done < <(.ci/path_table build/dev/tests/j6enc_unit_tests | sort -u)
    return $status
}
