#!/usr/bin/env bash
# "tolvane-patch --check" typed at a command prompt under Wine, as a patch author types it. The
# prompt runs the console companion tolvane-patch.com beside the exe, which must wait for the
# window program, show its report before the next prompt with the folder's name as it is
# written, and end with the exe's exit status. Redirected to files, what it passes on are the
# exe's own bytes.
# Usage: wine_console.sh PATH/TO/tolvane-patch.exe (tolvane-patch.com beside it)
set -uo pipefail

exe=$1
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs wine script
[[ -f ${exe%.exe}.com ]] || { echo "FAIL: no ${exe%.exe}.com beside the exe" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/shown ]] && sed 's/^/  screen: /' "$work/shown" >&2
    exit 1
}

# A game folder without the patch's files: four problems, exit status 1. Its name has
# letters that the ANSI code page holds, in which the text report is written, and letters it
# lacks, which reach the JSON report (UTF-8) only. The prompt gets it from the environment,
# so that the typed lines are ASCII.
game="$work/Ærø Ωμέγα"
mkdir -p "$game"
export GAME WORK
GAME=$(windows_path "$game")
WORK=$(windows_path "$work")
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"

# The prompt in a terminal, reading lines typed ahead of it as it reads the keyboard; each
# line runs when the prompt takes the one before as done. The exe alone would be done at
# once, its status 0, and its report would come after the next prompt or never.
mkfifo "$work/keys"
(cd "$(dirname "$exe")" && exec script -qec "stty cols 1000; '$wine_run' cmd" /dev/null <"$work/keys" >"$work/screen") &
prompt=$!
exec 7>"$work/keys"
for _ in $(seq 300); do
    grep -q '>' "$work/screen" 2>/dev/null && break
    sleep 0.1
done
printf '%s\r' \
    'tolvane-patch --check --program-folder "%GAME%"' 'echo status=%errorlevel%' \
    'tolvane-patch --check --json --program-folder "%GAME%"' 'echo status=%errorlevel%' \
    'tolvane-patch --check --nonsense' 'echo status=%errorlevel%' \
    'tolvane-patch --check --json --program-folder "%GAME%" >"%WORK%\com.out" 2>"%WORK%\com.err"' \
    'exit' >&7
timeout 120 tail --pid="$prompt" -f /dev/null
exec 7>&-
wait "$prompt" || fail "the prompt did not end as told"
# The terminal's view, without its cursor movements.
sed 's/\x1b\[1C/ /g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1b\][^\x07]*\x07//g; s/\r//g' \
    "$work/screen" >"$work/shown"

# What a command shows, and then its exit status: the lines after its own up to the prompt
# after its "echo status".
output_of() {
    awk -v command="$1" 'index($0, command) { on = 1; next }
        on && /^Z:.*>/ { if (++prompts == 2) exit; next }
        on && NF' "$work/shown"
}
text=$(output_of '>tolvane-patch --check --program-folder')
json=$(output_of '>tolvane-patch --check --json --program-folder "%GAME%"')
usage=$(output_of '>tolvane-patch --check --nonsense')

grep -qF "Could not find file seasonStats.mdb. Make sure it has been copied to ${GAME%%Ω*}" \
    <<<"$text" || fail "the text report does not name the folder as the ANSI code page has it"
grep -qxF '4 problems, 0 warnings: the season would not import.' <<<"$text" ||
    fail "the text report is not shown before the next prompt"
[[ $(tail -n 1 <<<"$text") == "status=1" ]] || fail "the text report's exit status is not 1"
grep -qF "copied to ${GAME//\\/\\\\}\"" <<<"$json" ||
    fail "the JSON report does not name the folder as it is written"
[[ $(tail -n 1 <<<"$json") == "status=1" ]] || fail "the JSON report's exit status is not 1"
grep -qF "Unknown option 'nonsense'" <<<"$usage" || fail "the exe's message is not shown"
[[ $(tail -n 1 <<<"$usage") == "status=2" ]] || fail "a wrong option's exit status is not 2"

# Redirected, the companion passes on the exe's bytes unchanged.
(cd "$work" && "$wine_run" "$exe" --check --json --program-folder "$GAME" >exe.out 2>exe.err)
cmp -s "$work/exe.out" "$work/com.out" || fail "the report redirected through the companion differs"
cmp -s "$work/exe.err" "$work/com.err" || fail "the messages redirected through the companion differ"

echo "PASS: the prompt waits for tolvane-patch --check, shows its report and gets its status"
