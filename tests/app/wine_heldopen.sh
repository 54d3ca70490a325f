#!/usr/bin/env bash
# The game running while the patch is checked: it holds a team list of the roster slot and
# the fixture it plays open, sharing them with readers only (holdopen.exe does so), so that
# Windows refuses to replace them. "tolvane-patch --check", typed at a prompt, must name both
# files and say to close the game, and must change nothing in the folder.
# Usage: wine_heldopen.sh PATH/TO/tolvane-patch.exe PATH/TO/holdopen.exe
#        LINUX/make-demo-folder LINUX/tolvane-update-child
set -uo pipefail

exe=$1
holdopen=$2
make_folder=$3
update_child=$4
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs wine
winetest_needs_built "$make_folder" "$update_child"

work=$(mktemp -d)
hold=
cleanup() {
    touch "$work/stop"
    [[ -n $hold ]] && wait "$hold" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for log in hold.log check.out check.err; do
        [[ -s $work/$log ]] && sed "s/^/  $log: /" "$work/$log" >&2
    done
    exit 1
}

# A game folder after an update, made by the Linux build: the slot has its team lists.
game="$work/game Ærø"
"$make_folder" --teams 3 --players 5 "$game" >/dev/null || fail "make-demo-folder failed"
"$update_child" update "$game" | grep -qx 'Import Complete!' || fail "the first update failed"
list=$(find "$game/lists/default2009" -name '*_List.tvp' | sort | head -n 1)
fixture="$game/data/schedules/schedule2008.dat"
[[ -f $list && -f $fixture ]] || fail "the update left no team list or fixture"
cp -a "$game" "$work/before"

"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"
"$wine_run" "$holdopen" "$(windows_path "$work/stop")" "$(windows_path "$list")" \
    "$(windows_path "$fixture")" >"$work/hold.log" 2>&1 &
hold=$!
for _ in $(seq 600); do
    grep -q 'holding 2 files' "$work/hold.log" 2>/dev/null && break
    kill -0 "$hold" 2>/dev/null || fail "holdopen.exe ended before it held the files"
    sleep 0.1
done
grep -q 'holding 2 files' "$work/hold.log" || fail "holdopen.exe did not hold the files"

# In the exe's folder, "tolvane-patch" runs the console companion. The command goes into a
# batch file: Wine's "cmd /c" takes the quotes of a command line given to it apart.
export GAME WORK
GAME=$(windows_path "$game")
WORK=$(windows_path "$work")
printf '%s\r\n' '@tolvane-patch --check --program-folder "%GAME%" >"%WORK%\check.out" 2>"%WORK%\check.err"' \
    '@exit /b %errorlevel%' >"$work/check.cmd"
(cd "$(dirname "$exe")" && "$wine_run" cmd /c "$(windows_path "$work/check.cmd")")
status=$?
[[ $status -eq 1 ]] || fail "--check ended with status $status, not 1 (the season would not import)"
for held in "$list" "$fixture"; do
    name=$(basename "$held")
    grep -F "$name cannot be replaced: Another program has the file open" "$work/check.out" |
        grep -qF 'close the game, then run the update again' ||
        fail "the report does not name $name as held open by another program"
done
differences=$(diff -r "$work/before" "$game" 2>&1) ||
    fail "the check changed the game's folder:"$'\n'"$differences"

touch "$work/stop"
wait "$hold" || fail "holdopen.exe did not end cleanly"
hold=
echo "PASS: --check names the team list and the fixture the game holds open, and changes nothing"
