#!/usr/bin/env bash
# Builds the benchmark in Release, makes the game folders of every size in a temporary
# folder (in a process of their own, so that the run's peak memory is its own) and times
# each. Usage: bench/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
source bench/build.sh
bench_build tolvane-bench make-demo-folder

games=$(mktemp -d)
trap 'rm -rf "$games"' EXIT
for size in "1000 18" "10000 18" "50000 1000"; do
    read -r players teams <<<"$size"
    per_team=$(((players + teams - 1) / teams))
    for index in "" "--no-qz-index"; do
        game="$games/game"
        rm -rf "$game"
        "$build/tools/make-demo-folder" "$game" --teams "$teams" --players "$per_team" $index >/dev/null
        "$build/bench/tolvane-bench" --game "$game" --runs "$runs"
    done
done
