# shellcheck shell=bash
# The sources: their format and the static analysers, with no finding allowed.

register source_format "clang-format: the sources match .clang-format"
check_source_format() {
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

# Over the clang build, whose compile commands clang-tidy understands in full.
register source_tidy "clang-tidy over src/, with the clang build's compile commands"
check_source_tidy() {
    needs build clang
    clang-tidy --quiet -p build/clang src/*.cpp
}

register source_cppcheck "cppcheck over src/"
check_source_cppcheck() {
    cppcheck --enable=all --std=c++20 --language=c++ --error-exitcode=1 --inline-suppr \
        --suppress=missingIncludeSystem -I src src/
}
