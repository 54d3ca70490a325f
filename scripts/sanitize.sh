#!/usr/bin/env bash
# Builds the core and its tests with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# runs each libFuzzer target for a bounded time (FUZZ_SECONDS, default 30) on its corpus in
# tests/fuzz/, then runs the tests, which replay every saved crash input.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${SANITIZE_BUILD_DIR:-build-sanitize} BUILD_TYPE=Debug CC=clang CXX=clang++ \
    scripts/setup.sh -DTOLVANE_SANITIZE=ON -DTOLVANE_FUZZ=ON
build=${SANITIZE_BUILD_DIR:-build-sanitize}

# Qt's plugin loader keeps what it loads for the life of the process; leaks are not
# what this run is for.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
seconds=${FUZZ_SECONDS:-30}
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
    [[ -x $fuzzer ]] || continue
    name=$(basename "$fuzzer" _fuzz)
    # The build names each fuzzer's corpus: some share one.
    corpus=$(<"$fuzzer.corpus")
    crashes=tests/fuzz/crashes/$name
    mkdir -p "$corpus" "$crashes"
    # New inputs go to a scratch folder first; an input that breaks the fuzzer is saved in
    # crashes/, to be committed with its fix.
    found=$(mktemp -d)
    echo "Fuzzing $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$crashes/" \
        "$found" "$corpus" 2>&1 | tail -n 3
    # Outside CI, the inputs that reach code the corpus did not are merged into it.
    if [[ -z ${CI:-} ]]; then
        "$fuzzer" -merge=1 "$corpus" "$found" >/dev/null 2>&1
    fi
    rm -rf "$found"
done

ctest --test-dir "$build" --output-on-failure -j2 -E '^(app_|Form57)'

