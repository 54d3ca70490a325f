#!/usr/bin/env bash
# AUTHORS.txt's walk-through typed at Wine's command prompt, as a season author types it:
# the authors' zip unpacked into a folder whose name has accents, a demo game in
# C:\Games\Tolvane Rally QZ, and every command line of AUTHORS.txt (the lines that begin
# with "    > ") typed in order, from export to pack, each of which must end with exit
# status 0. The lines are read from the AUTHORS.txt in the zip, so that the document cannot
# drift from the tools. Then a pack of a spoiled season must refuse with its report shown
# in the console as written (UTF-8, accents and all) and exit status 1.
# Usage: wine_authors.sh AUTHORS_ZIP make-demo-folder.exe
set -uo pipefail

zip=$1
make_folder=$2
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs wine script unzip sqlite3

work=$(mktemp -d)
# wine-run.sh's prefix, whose drive C: holds the game; one run at a time uses it.
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvane-patch/wine}
"$wine_run" cmd /c exit >/dev/null 2>&1 || { echo "FAIL: Wine does not start" >&2; exit 1; }
exec 8>"$WINEPREFIX.authors"
flock 8
games=$WINEPREFIX/drive_c/Games
game="$games/Tolvane Rally QZ"
rm -rf "$game" "$games/Tolvane test"
trap 'rm -rf "$work" "$game" "$games/Tolvane test"; rmdir "$games" 2>/dev/null' EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/shown ]] && sed 's/^/  screen: /' "$work/shown" >&2
    exit 1
}

"$wine_run" "$make_folder" --teams 3 --players 6 'C:\Games\Tolvane Rally QZ' >/dev/null ||
    fail "make-demo-folder failed"
authors="$work/Saison Zoë Ærø"
mkdir -p "$authors"
unzip -q "$zip" -d "$authors" || fail "the authors' zip does not unpack"
text=$authors/AUTHORS.txt
[[ $(grep -c $'\r$' "$text") -eq $(wc -l <"$text") ]] || fail "AUTHORS.txt has lines without CR LF"
cp "$game/schedule2009.dat" "$authors/"
cp "$game/seasonStats.mdb" "$authors/spoiled.mdb"
sqlite3 "$authors/spoiled.mdb" "UPDATE Ratings SET Name = 'Zoë Müller', Speed = 'fast' WHERE rowid = 1" ||
    fail "cannot spoil the season"

mapfile -t commands < <(tr -d '\r' <"$text" | sed -n 's/^    > //p')
[[ ${commands[0]} == "tolvane-season export "* && ${commands[-1]} == "tolvane-season pack "* ]] ||
    fail "AUTHORS.txt's command lines do not run from export to pack: ${commands[*]}"
# The prompt in a terminal, reading the lines typed ahead of it (see tests/app/wine_console.sh).
mkfifo "$work/keys"
(cd "$authors" && exec script -qec "stty cols 1000; '$wine_run' cmd" /dev/null <"$work/keys" >"$work/screen") &
prompt=$!
exec 7>"$work/keys"
for _ in $(seq 300); do
    grep -q '>' "$work/screen" 2>/dev/null && break
    sleep 0.1
done
for command in "${commands[@]}"; do
    printf '%s\r' "$command" 'echo status=%errorlevel%' >&7
done
printf '%s\r' 'tolvane-season pack spoiled.mdb schedule2009.dat spoiled.zip' \
    'echo status=%errorlevel%' 'exit' >&7
timeout 240 tail --pid="$prompt" -f /dev/null
exec 7>&-
wait "$prompt" || fail "the prompt did not end as told"
sed 's/\x1b\[1C/ /g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1b\][^\x07]*\x07//g; s/\r//g' \
    "$work/screen" >"$work/shown"

mapfile -t statuses < <(grep -oE '^status=[0-9]+' "$work/shown")
[[ ${#statuses[@]} -eq $((${#commands[@]} + 1)) ]] ||
    fail "${#commands[@]} commands and the spoiled pack gave ${#statuses[@]} exit statuses"
for i in "${!commands[@]}"; do
    [[ ${statuses[i]} == status=0 ]] || fail "'${commands[i]}' ended with ${statuses[i]}"
done
[[ ${statuses[-1]} == status=1 ]] || fail "the pack of a spoiled season ended with ${statuses[-1]}"
grep -qF "/ Zoë Müller / Speed: 'fast' is not a number" "$work/shown" ||
    fail "the console does not show the pack's report as written"
[[ ! -e $authors/spoiled.zip ]] || fail "the pack of a spoiled season wrote its zip"

packed=$(sed -n 's/^    > tolvane-season pack .* \([^ ]*\.zip\)\r\?$/\1/p' "$text")
[[ -f $authors/$packed ]] || fail "the walk-through wrote no $packed"
[[ $(unzip -Z1 "$authors/$packed" | tr '\n' ' ') == \
    "seasonStats.mdb schedule2009.dat tolvane-patch.exe tolvane-patch.com Restore previous roster.cmd README.txt " ]] ||
    fail "$packed holds $(unzip -Z1 "$authors/$packed" | tr '\n' ' ')"
echo "PASS: AUTHORS.txt's ${#commands[@]} command lines ran at the prompt, from export to pack"
