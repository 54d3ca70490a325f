#!/usr/bin/env bash
# Builds the benchmark in Release, makes the game folders of every size in a temporary
# folder (in a process of their own, so that the run's peak memory is its own) and times
# each: SQLite seasons with and without an index on qz, then the Access cases, the seasons
# of 10,000 and 50,000 players written as Access files by the tests' writer beside the same
# season in SQLite. Usage: bench/run.sh [RUNS]; ACCESS_FORMATS (default jet4) lists the
# Access formats to time: any of jet3, jet4 and ace.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
source bench/build.sh
bench_build tolvane-bench make-demo-folder tolvane-make-access-season

games=$(mktemp -d)
trap 'rm -rf "$games"' EXIT
make_game() { # FOLDER PLAYERS TEAMS [--no-qz-index]
    local players=$2 teams=$3
    rm -rf "$1"
    "$build/tools/make-demo-folder" "$1" --teams "$teams" --players $(((players + teams - 1) / teams)) \
        "${@:4}" >/dev/null
}
for size in "1000 18" "10000 18" "50000 1000"; do
    read -r players teams <<<"$size"
    for index in "" "--no-qz-index"; do
        make_game "$games/game" "$players" "$teams" $index
        "$build/bench/tolvane-bench" --game "$games/game" --runs "$runs"
    done
done

for size in "10000 18" "50000 1000"; do
    read -r players teams <<<"$size"
    make_game "$games/game" "$players" "$teams"
    echo "Access cases: the same season in SQLite, then in each Access format"
    "$build/bench/tolvane-bench" --game "$games/game" --runs "$runs"
    for format in ${ACCESS_FORMATS:-jet4}; do
        rm -rf "$games/access" && cp -r "$games/game" "$games/access"
        rm "$games/access/seasonStats.mdb"
        "$build/bench/tolvane-make-access-season" --format "$format" \
            "$games/game/seasonStats.mdb" "$games/access/seasonStats.mdb"
        echo "$format:"
        "$build/bench/tolvane-bench" --game "$games/access" --runs "$runs"
    done
done
