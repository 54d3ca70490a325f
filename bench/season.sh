#!/usr/bin/env bash
# Times tolvane-season export and import on generated seasons of every size, with the peak
# memory of each, a process a run (tolvane-season-bench runs the command in-process, so the
# figures leave out the start of the process). Usage: bench/season.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
source bench/build.sh
bench_build tolvane-season-bench make-demo-folder
bench=$build/bench/tolvane-season-bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mb() { awk '{ printf "%.1f", $1 / 1024 }'; }

echo "| players | teams | CSV KB | export ms | export peak MB | import ms | import peak MB | before MB |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
for size in "1000 18" "10000 18" "100000 180"; do
    read -r players teams <<<"$size"
    per_team=$(((players + teams - 1) / teams))
    game=$work/game
    rm -rf "$game"
    "$build/tools/make-demo-folder" "$game" --teams "$teams" --players "$per_team" >/dev/null
    : >"$work/export" && : >"$work/import"
    for ((run = 0; run < runs; run++)); do
        rm -rf "$work/csv" "$work/season.sqlite"
        "$bench" export "$game/seasonStats.mdb" "$work/csv" >>"$work/export"
        "$bench" import "$work/csv" "$work/season.sqlite" >>"$work/import"
    done
    kb=$(du -k -c "$work/csv"/*.csv | tail -1 | cut -f1)
    printf "| %s | %s | %s | %s | %s | %s | %s | %s |\n" "$((per_team * teams))" "$teams" "$kb" \
        "$(cut -d' ' -f1 "$work/export" | median)" "$(cut -d' ' -f2 "$work/export" | median | mb)" \
        "$(cut -d' ' -f1 "$work/import" | median)" "$(cut -d' ' -f2 "$work/import" | median | mb)" \
        "$(cut -d' ' -f3 "$work/import" | median | mb)"
done
