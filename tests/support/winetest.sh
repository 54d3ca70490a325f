# Sourced by the tests that run the Windows programs under Wine, first thing after their
# arguments. Sets wine_run (scripts/wine-run.sh, which runs a program under Wine in the
# tests' prefix) and gives:
#   winetest_needs COMMAND...     skips the test (exit 77) when a command is missing
#   winetest_needs_built FILE...  skips it when a Linux build of a test program is missing
#   winetest_display_prefix       the Wine prefix of the tests that open windows, held for
#                                 this test alone until it ends
#   windows_path PATH             PATH as Wine's programs name it (Z:\...)
wine_run=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/wine-run.sh

winetest_needs() {
    local tool
    for tool; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

winetest_needs_built() {
    local file
    for file; do
        if [[ ! -x $file ]]; then
            echo "SKIP: no Linux build of the test programs ($file)"
            exit 77
        fi
    done
}

# Wine's desktop takes the display of the first program of a session, and the tests that run
# beside one that opens windows have none: those tests share a prefix of their own, one at a
# time, and a test's session ends with it.
winetest_display_prefix() {
    export WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/tolvane-patch/wine-display
    mkdir -p "$WINEPREFIX"
    exec 8>"$WINEPREFIX.running"
    flock 8
}

windows_path() { echo "Z:${1//\//\\}"; }
