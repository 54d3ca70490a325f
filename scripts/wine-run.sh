#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in the project's own Wine prefix (made on
# first use), and passes on its output and exit status. CTest runs the cross-built tests
# through this.
set -uo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvane-patch/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No .NET or Gecko installer prompts while a prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine converts file names and command lines with the character set of the Linux locale:
# UTF-8, as the file names are, whatever the caller's locale.
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"

# One caller at a time makes the prefix, or starts a Wine session (server and background
# services) and keeps it for a minute past its last program, so that tests do not each
# pay for one.
exec 9>"$WINEPREFIX.lock"
flock 9
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
fi
if wineserver -p60 >/dev/null 2>&1 </dev/null; then
    wine wineboot >/dev/null 2>&1 </dev/null
fi
flock -u 9
exec 9>&-

# Wine's helper processes (the desktop's, for one) inherit the output of the program that
# started them and keep it open long after it ended; a caller reading that output through a
# pipe to its end, as CTest does, would wait for them. The program then writes into files
# instead. Otherwise it takes this script's place (and process id).
if [[ ! -p /dev/stdout && ! -p /dev/stderr ]]; then
    exec wine "$@"
fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit "$status"
