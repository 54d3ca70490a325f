#!/usr/bin/env bash
# Builds the core and its tests with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# runs them, then runs each libFuzzer target for a bounded time (FUZZ_SECONDS, default 30).
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
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    # New inputs go to the temporary folder; the committed seeds are only read. The team
    # list readers share the kept lists.
    seeds=()
    [[ -d tests/fuzz/corpus/$name ]] && seeds+=("tests/fuzz/corpus/$name")
    case $name in
    recordcodec_fuzz | rosterjson_fuzz) seeds+=(tests/fuzz/corpus/teamlists) ;;
    esac
    echo "Fuzzing $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$corpus" "${seeds[@]}" 2>&1 |
        tail -n 3
    rm -rf "$corpus"
done

ctest --test-dir "$build" --output-on-failure -j2 -E '^(app_|Form57)'

