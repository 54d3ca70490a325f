#!/usr/bin/env bash
# Times tolvane-season report on generated seasons: writing the page (tolvane-season-bench
# runs the command in-process, so the start of the process is left out) and opening it in
# headless Chromium, from the start of the navigation to the first frame drawn after the
# page has loaded, with the first paint and Chromium's CPU time until that frame
# (bench/reportload.py). Usage: bench/report.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
source bench/build.sh
bench_build tolvane-season-bench tolvane-season make-demo-folder
bench=$build/bench/tolvane-season-bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "| players | teams | page KB | write ms | write CPU ms | write peak MB | rendered ms | first paint ms | Chromium CPU ms |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for size in "1000 18" "10000 18" "50000 1000"; do
    read -r players teams <<<"$size"
    per_team=$(((players + teams - 1) / teams))
    game=$work/game
    rm -rf "$game"
    "$build/tools/make-demo-folder" "$game" --teams "$teams" --players "$per_team" >/dev/null
    : >"$work/write" && : >"$work/cpu"
    for ((run = 0; run < runs; run++)); do
        rm -f "$work/report.html"
        "$bench" report "$game/seasonStats.mdb" "$work/report.html" >>"$work/write"
        rm -f "$work/report.html"
        # The command's CPU time, with the start of the process (/usr/bin/time).
        /usr/bin/time -f "%U %S" -o "$work/time" \
            "$build/tools/tolvane-season" report "$game/seasonStats.mdb" "$work/report.html"
        awk '{ printf "%.0f\n", ($1 + $2) * 1000 }' "$work/time" >>"$work/cpu"
    done
    bench/reportload.py "$work/report.html" "$runs" >"$work/load"
    printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n" "$((per_team * teams))" "$teams" \
        "$(du -k "$work/report.html" | cut -f1)" \
        "$(cut -d' ' -f1 "$work/write" | median)" "$(median <"$work/cpu")" \
        "$(cut -d' ' -f2 "$work/write" | median | awk '{ printf "%.1f", $1 / 1024 }')" \
        "$(cut -d' ' -f1 "$work/load" | median)" "$(cut -d' ' -f3 "$work/load" | median)" \
        "$(cut -d' ' -f4 "$work/load" | median)"
done
