#!/usr/bin/env bash
# Times the patch window from the press of "Update" to the closing message, next to the core
# run and its floor, on generated game folders of every size. The window runs on the
# offscreen platform and, where Xvfb is installed, on a virtual X server with a real click
# through xdotool. Usage: bench/window.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
source bench/build.sh
bench_build tolvane-bench tolvane-window-bench make-demo-folder
harness=$build/bench/tolvane-window-bench

work=$(mktemp -d)
fail() {
    echo "window.sh: $*" >&2
    exit 1
}
xvfb=
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    xvfb=1
    source scripts/xsession.sh
fi
trap '[[ -n $xvfb ]] && xsession_cleanup; rm -rf "$work"' EXIT
[[ -n $xvfb ]] && xsession_start_display

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A fresh copy of the game folder as it was made, for one run.
fresh_game() {
    rm -rf "$work/game"
    cp -a "$work/pristine" "$work/game"
}

offscreen_run() {
    fresh_game
    QT_QPA_PLATFORM=offscreen "$harness" --program-folder "$work/game" 2>/dev/null | cut -f1 | cut -d' ' -f1
}

xvfb_run() {
    fresh_game
    coproc harness_proc { QT_QPA_PLATFORM=xcb "$harness" --external-click \
        --program-folder "$work/game" 2>/dev/null; }
    local line
    read -r line <&"${harness_proc[0]}"
    [[ $line == ready ]] || fail "the harness did not start: $line"
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
        fail "the window did not appear"
    sleep 0.3
    xsession_press_update "$window"
    read -r line <&"${harness_proc[0]}"
    wait "$harness_proc_PID" || fail "the run did not complete: $line"
    echo "${line%% *}"
}

printf '| players | teams | floor ms | core run ms | core + 100 ms pause | window offscreen ms | window Xvfb ms |\n'
printf '|---:|---:|---:|---:|---:|---:|---:|\n'
for size in "1000 18" "10000 18" "50000 1000"; do
    read -r players teams <<<"$size"
    per_team=$(((players + teams - 1) / teams))
    rm -rf "$work/pristine"
    "$build/tools/make-demo-folder" "$work/pristine" --teams "$teams" --players "$per_team" \
        >/dev/null
    core=$("$build/bench/tolvane-bench" --game "$work/pristine" --runs "$runs")
    run_ms=$(awk '/^  run / { print $2 }' <<<"$core")
    floor_ms=$(awk '/^  floor / { print $2 }' <<<"$core")

    offscreen=$(for _ in $(seq "$runs"); do offscreen_run; done | median)
    on_x=n/a
    [[ -n $xvfb ]] && on_x=$(for _ in $(seq "$runs"); do xvfb_run; done | median)
    printf '| %s | %s | %s | %s | %.1f | %s | %s |\n' "$((per_team * teams))" "$teams" \
        "$floor_ms" "$run_ms" "$(awk -v r="$run_ms" 'BEGIN { print r + 100 }')" "$offscreen" "$on_x"
done
