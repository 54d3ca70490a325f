#!/usr/bin/env bash
# Installs, builds and runs every test. Prints how many tests ran and how many were skipped,
# and fails when any test was skipped: every test can run here, root or not, once setup.sh
# has installed what the tests use (a skip means something is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${BUILD_DIR:-build}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 | tee "$log" || status=$?

# ctest's line for each test: "  3/95 Test  #3: name ....***Skipped   0.01 sec".
results=$(grep -E '^ *[0-9]+/[0-9]+ +Test +#[0-9]+: ' "$log" || true)
total=$(grep -c . <<<"$results" || true)
skipped=$(grep -F '***Skipped' <<<"$results" || true)
skip_count=$(grep -c . <<<"$skipped" || true)
echo
# Checks that need what a clone may lack (the team's shared files) say so and pass.
grep -h "did not run" "$build/Testing/Temporary/LastTest.log" 2>/dev/null | sed 's/^/Note: /' || true
echo "Tests: $((total - skip_count)) ran, $skip_count skipped."
if ((skip_count > 0)); then
    echo "No test may be skipped; these were:" >&2
    sed -E 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: ([^ ]+).*/  \1/' <<<"$skipped" >&2
    exit 1
fi
exit "$status"
