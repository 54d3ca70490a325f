#!/usr/bin/env bash
# Times an earlier revision of the program beside this checkout, in pairs: each pair runs
# both once, one right after the other, in turns which goes first, with the disk synced
# before each run, so that a slow spell of the machine weighs on both alike. Prints, for
# every case, the median of each side, and the median and range of the pairs' ratios
# (after / before). Usage: bench/pairs.sh BEFORE [PAIRS] [CASE...]
#
# The cases (all by default):
#   window  the window offscreen, from the press of "Update" to "Import Complete!",
#           10,008 players in 18 teams (tolvane-window-bench)
#   core    the core run at 50,000 players in 1,000 teams and its check (the median of
#           CORE_RUNS runs, 3 by default, of tolvane-bench in one process)
#   access  the core run and its check, which copies the file, on the same season written
#           as a Jet 4 Access file; and jet2sqlite's copy of that file as a process
#   import  tolvane-season import of the CSV export of 10,008 and of 100,080 players
#   report  tolvane-season report of 10,008 players (where BEFORE has the command)
# BEFORE is built from a worktree of the clone in build-bench-before/; the season folders
# are made by this checkout's programs, so both sides read the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -ge 1 ]] || { sed -n '2,/^set /p' "$0" | sed '$d' | cut -c3- >&2; exit 2; }
rev=$(git rev-parse --short "$1")
pairs=${2:-7}
cases=("${@:3}")
((${#cases[@]})) || cases=(window core access import report)

source bench/build.sh
targets=(tolvane-bench tolvane-window-bench tolvane-season-bench tolvane-season
         make-demo-folder jet2sqlite)
bench_build "${targets[@]}" tolvane-make-access-season
after=$PWD/$build

source_tree=$PWD/build-bench-before/$rev-source
before=$PWD/build-bench-before/$rev
[[ -d $source_tree ]] || git worktree add --detach "$source_tree" "$rev" >/dev/null
cmake -S "$source_tree" -B "$before" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTOLVANE_BUILD_BENCH=ON -DTOLVANE_BUILD_TESTS=OFF >/dev/null
# A target that BEFORE lacks is left out, with its cases.
for target in "${targets[@]}"; do
    if cmake --build "$before" --target help | grep -q "^$target:"; then
        cmake --build "$before" --target "$target" >/dev/null
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The path of the program NAME of SIDE (before or after), wherever its build puts it.
program() {
    local folder=$after
    [[ $1 == before ]] && folder=$before
    find "$folder" -type f -name "$2" -perm -u+x -print -quit
}
has() { [[ -n $(program before "$1") && -n $(program after "$1") ]]; }

make_game() { # FOLDER PLAYERS TEAMS
    rm -rf "$1"
    "$(program after make-demo-folder)" "$1" --teams "$3" --players $((($2 + $3 - 1) / $3)) >/dev/null
}

# One timing of SIDE on standard output, in ms: a function of the case. A function may give
# several figures on one line, for as many rows of the table.
time_window() {
    rm -rf "$work/run" && cp -a "$work/game" "$work/run" && sync
    QT_QPA_PLATFORM=offscreen "$(program "$1" tolvane-window-bench)" \
        --program-folder "$work/run" 2>/dev/null | cut -f1 | cut -d' ' -f1
}
# The run and its check: medians of CORE_RUNS runs in one process (tolvane-bench).
time_core() {
    sync
    "$(program "$1" tolvane-bench)" --game "$work/game" --runs "${CORE_RUNS:-3}" >"$work/out"
    local line
    line=$(sed -n 2p "$work/out")
    echo "$(grep -oE 'run [0-9.]+' <<<"$line" | cut -d' ' -f2)" \
        "$(grep -oE 'check [0-9.]+' <<<"$line" | cut -d' ' -f2)"
}
time_process() { # SIDE COMMAND...: the wall time of a program of SIDE, in ms
    local path start end
    path=$(program "$1" "$2")
    shift 2
    sync
    start=$(date +%s%N)
    "$path" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
time_jet2sqlite() {
    rm -f "$work/copy.sqlite"
    time_process "$1" jet2sqlite "$work/game/seasonStats.mdb" "$work/copy.sqlite"
}
time_import() {
    rm -f "$work/imported.mdb" && sync
    "$(program "$1" tolvane-season-bench)" import "$work/csv" "$work/imported.mdb" |
        cut -d' ' -f1
}
time_report() {
    rm -f "$work/report.html" && sync
    "$(program "$1" tolvane-season-bench)" report "$work/game/seasonStats.mdb" \
        "$work/report.html" | cut -d' ' -f1
}

# Runs the function time_$1 in PAIRS pairs and prints a row of the table for each figure it
# gives, labelled by the further arguments.
measure() {
    local name=$1 i b a
    local labels=("${@:2}")
    rm -f "$work"/before.* "$work"/after.* "$work"/ratios.*
    for ((i = 0; i < pairs; i++)); do
        if ((i % 2 == 0)); then
            b=$("time_$name" before) && a=$("time_$name" after)
        else
            a=$("time_$name" after) && b=$("time_$name" before)
        fi
        read -ra b <<<"$b" && read -ra a <<<"$a"
        for f in "${!labels[@]}"; do
            [[ -n ${b[f]:-} && -n ${a[f]:-} ]] ||
                { echo "pairs.sh: ${labels[f]} gave no figure" >&2; exit 1; }
            echo "${b[f]}" >>"$work/before.$f" && echo "${a[f]}" >>"$work/after.$f"
            awk -v a="${a[f]}" -v b="${b[f]}" 'BEGIN { printf "%.3f\n", a / b }' >>"$work/ratios.$f"
        done
    done
    local before after
    for f in "${!labels[@]}"; do
        before=$(median <"$work/before.$f") && after=$(median <"$work/after.$f")
        printf "| %s | %s | %s | %s | %s | %s–%s |\n" "${labels[f]}" "$before" "$after" \
            "$(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.3f", a / b }')" \
            "$(median <"$work/ratios.$f")" \
            "$(sort -n "$work/ratios.$f" | head -n 1)" "$(sort -n "$work/ratios.$f" | tail -n 1)"
    done
}
median() {
    sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                                       printf (m >= 100 ? "%.0f\n" : m >= 10 ? "%.1f\n" : "%.3f\n"), m }'
}

echo "Before: $rev $(git log -1 --format=%s "$rev"); after: this checkout ($(git describe --always --dirty)); $pairs pairs"
echo
echo "| case | before ms | after ms | after / before, medians | the pairs' ratios: median | range |"
echo "|---|---:|---:|---:|---:|---|"
for case in "${cases[@]}"; do
    case $case in
    window)
        make_game "$work/game" 10008 18
        measure window "window offscreen, 10,008 players"
        ;;
    core)
        make_game "$work/game" 50000 1000
        measure core "core run, 50,000 players in 1,000 teams" "its check"
        ;;
    access)
        make_game "$work/sqlite" 50000 1000
        rm -rf "$work/game" && cp -a "$work/sqlite" "$work/game" && rm "$work/game/seasonStats.mdb"
        "$(program after tolvane-make-access-season)" --format jet4 "$work/sqlite/seasonStats.mdb" \
            "$work/game/seasonStats.mdb" >/dev/null
        measure core "core run, the same season in Jet 4" "its check, with the copy of the file"
        has jet2sqlite && measure jet2sqlite "jet2sqlite of that file"
        ;;
    import)
        for size in "10008 18 10,008" "100080 180 100,080"; do
            read -r players teams label <<<"$size"
            make_game "$work/game" "$players" "$teams"
            rm -rf "$work/csv"
            "$(program after tolvane-season)" export "$work/game/seasonStats.mdb" "$work/csv" >/dev/null
            measure import "season import, $label players"
        done
        ;;
    report)
        if has tolvane-season && "$(program before tolvane-season)" --help | grep -q '^ *report'; then
            make_game "$work/game" 10008 18
            measure report "season report, 10,008 players"
        else
            echo "| season report | (not in $rev) | | | | |"
        fi
        ;;
    *)
        echo "pairs.sh: no case $case" >&2
        exit 2
        ;;
    esac
done
