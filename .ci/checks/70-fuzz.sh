# shellcheck shell=bash
# Fuzzing.

register fuzz "about a minute of coverage-guided fuzzing of j6enc_fuzz from an empty corpus"
check_fuzz() {
    local corpus
    needs build fuzz
    corpus=$(mktemp -d)
    build/fuzz/fuzz/j6enc_fuzz -max_total_time=60 -max_len=4612 -artifact_prefix="$corpus/" "$corpus"
    rm -rf "$corpus"
}
