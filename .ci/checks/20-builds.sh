# shellcheck shell=bash
# The native builds, each with every test it has, warnings as errors.

register build_dev "tests, g++ Debug with ASan and UBSan (the test workflow)"
check_build_dev() {
    needs build dev
    ctest --preset dev
}

# The README's first command builds the program, its manual page and its
# documents, and looks for neither GoogleTest nor Google Benchmark: on a
# machine with only cmake, make and g++ it configures without a warning.
register build_release "the release workflow: the program and its documents alone, no warning"
check_build_release() {
    local log
    log=$(mktemp)
    provide --again "build release" release_workflow "$log"
    if grep -n 'CMake Warning' "$log"; then return 1; fi
    rm -f "$log"
    if grep -E '^(GTest|benchmark)_DIR:' build/release/CMakeCache.txt; then return 1; fi
    [[ ! -e build/release/tests && ! -e build/release/bench ]]
}
release_workflow() { cmake --workflow --preset release 2>&1 | tee "$1"; }

register build_bench "tests and benchmarks, g++ Release"
check_build_bench() {
    needs build bench
    ctest --preset bench
}

register build_clang "tests, clang++ Release"
check_build_clang() {
    needs build clang
    ctest --preset clang
}

# With J6ENC_VECTOR_PATHS=OFF the program holds the portable path alone, and
# every test passes with it.
register build_portable "the portable path alone (J6ENC_VECTOR_PATHS=OFF): every test, no other path"
check_build_portable() {
    local paths
    needs build portable
    ctest --preset portable
    .ci/paths_ran build/portable/tests/j6enc_unit_tests
    paths=$(nm -C build/portable/j6enc | grep -oE 'encrypt_block_[a-z0-9_]+' | sort -u)
    echo "paths in j6enc: $paths"
    [[ $paths == encrypt_block_portable ]]
}

# Builds the source afresh in build/NAME, configured with the rest of the
# arguments, and runs every test there.
build_and_test() {
    local build=build/$1
    shift
    rm -rf "$build"
    cmake -S . -B "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
    cmake --build "$build" -j2
    ctest --test-dir "$build" -j2 --output-on-failure --no-tests=error | tee "$build/ctest.log"
}

# As a distribution builds: build type None, the flags of dpkg-buildflags
# with every hardening feature (-O2), and CPPFLAGS, which holds
# _FORTIFY_SOURCE there, left out as some build systems do. Every test
# passes, the build type stays None, and the program still calls FORTIFY's
# checked functions, is position-independent and binds every symbol at
# start-up.
register build_distribution "a distribution's build (None, dpkg-buildflags, -O2): every test, hardened"
check_build_distribution() {
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS) LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
        build_and_test distribution -DCMAKE_BUILD_TYPE=None
    grep -x 'CMAKE_BUILD_TYPE:STRING=None' build/distribution/CMakeCache.txt
    echo "checked functions: $(nm -D build/distribution/j6enc | grep -oE '__[a-z_]+_chk' | grep -v stack | paste -sd' ')"
    nm -D build/distribution/j6enc | grep -qE '__(snprintf|printf|memcpy)_chk'
    readelf -dW build/distribution/j6enc | grep -E 'FLAGS_1.*NOW.*PIE'
}

# A baseline raised to x86-64-v3, with no build type given: the build is a
# release, every test passes, and the tests on the emulated Sandy Bridge,
# which lacks AVX2, are skipped while those on Haswell run.
register build_x86_64_v3 "baseline x86-64-v3, no build type: every test, Sandy Bridge skipped"
check_build_x86_64_v3() {
    needs x86_64
    build_and_test x86-64-v3 -DCMAKE_CXX_FLAGS=-march=x86-64-v3
    grep -x 'CMAKE_BUILD_TYPE:STRING=Release' build/x86-64-v3/CMakeCache.txt
    [[ $(grep -cE 'Test +#[0-9]+: older_processor\.SandyBridge\.[a-z_]+ .*Skipped' build/x86-64-v3/ctest.log) == 3 ]]
    [[ $(grep -cE 'Test +#[0-9]+: older_processor\.Haswell\.[a-z_]+ .*Passed' build/x86-64-v3/ctest.log) == 3 ]]
}

# A baseline of AVX2 alone, configured only: the Sandy Bridge tests are
# skipped for lacking avx2, the Haswell ones are not.
register build_avx2_baseline "baseline AVX2 alone, configured: Sandy Bridge tests skipped for lacking avx2"
check_build_avx2_baseline() {
    # CMake may bracket a test's name: [=[NAME]=].
    local tests=build/avx2/tests/CTestTestfile.cmake name='[]=[]*older_processor\.'
    needs x86_64
    rm -rf build/avx2
    cmake -S . -B build/avx2 -DCMAKE_CXX_FLAGS=-mavx2 > /dev/null
    grep -oE "^set_tests_properties\\(${name}[A-Za-z]+\.[a-z_]+.*ENVIRONMENT \"[^\"]*\"" "$tests" || true
    [[ $(grep -cE "^set_tests_properties\\(${name}SandyBridge\.[a-z_]+[]=]* PROPERTIES .*ENVIRONMENT \"J6ENC_BASELINE_LACKING=avx2\"" "$tests") == 3 ]]
    [[ $(grep -cE "^set_tests_properties\\(${name}Haswell\.[a-z_]+[]=]* PROPERTIES " "$tests") == 3 ]]
    if grep -E "^set_tests_properties\\(${name}Haswell\..*J6ENC_BASELINE_LACKING" "$tests"; then return 1; fi
}

# The _FORTIFY_SOURCE options of each compile command of build $1, one line a command.
fortify_options() {
    awk '/"command":/ { out = ""; n = split($0, words, " ")
        for (i = 1; i <= n; i++) if (words[i] ~ /_FORTIFY_SOURCE/) out = out " " words[i]
        print substr(out, 2) }' "$1/compile_commands.json"
}

# Release has a stack protector; RelWithDebInfo and MinSizeRel, configured
# only, fortify every source.
register build_hardened_types "hardening: Release's stack protector, RelWithDebInfo and MinSizeRel fortified"
check_build_hardened_types() {
    local type
    needs build release
    nm -D build/release/j6enc | grep -q __stack_chk_fail
    for type in RelWithDebInfo MinSizeRel; do
        rm -rf "build/$type"
        cmake -S . -B "build/$type" -DCMAKE_BUILD_TYPE=$type -DJ6ENC_TESTS=OFF > /dev/null
        echo "$type: $(fortify_options "build/$type" | sort | uniq -c | paste -sd' ')"
        [[ $(fortify_options "build/$type" | sort -u) == -D_FORTIFY_SOURCE=2 ]]
    done
}

# A builder's -Wp,-D_FORTIFY_SOURCE=3 (as Fedora passes it) and
# -fno-stack-protector win: warnings as errors, level 3 alone, no stack
# protector.
register build_builder_flags "a builder's -Wp,-D_FORTIFY_SOURCE=3 and -fno-stack-protector win, warnings as errors"
check_build_builder_flags() {
    local build=build/builder-flags
    rm -rf "$build"
    CXXFLAGS='-Wp,-D_FORTIFY_SOURCE=3 -fno-stack-protector' \
        cmake -S . -B "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DJ6ENC_TESTS=OFF > /dev/null
    cmake --build "$build" --target j6enc -j2
    echo "_FORTIFY_SOURCE options: $(fortify_options "$build" | sort | uniq -c | paste -sd' ')"
    [[ $(fortify_options "$build" | sort -u) == -Wp,-D_FORTIFY_SOURCE=3 ]]
    nm -D "$build/j6enc" | grep -qE '__(snprintf|printf|memcpy)_chk'
    if nm -D "$build/j6enc" | grep __stack_chk_fail; then return 1; fi
}
