#!/usr/bin/env bash
# Makes docs/season-report.png: the report of the demo season as headless Chromium draws it
# in a window of 1280 x 800. Usage: tests/report/screenshot.sh [BUILD_DIR] (default build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$(realpath "${1:-build}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/tools/make-demo-folder" demo >/dev/null
"$build/tools/tolvane-season" report demo/seasonStats.mdb report.html
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars --window-size=1280,800 \
    --screenshot="$root/docs/season-report.png" "file://$work/report.html" 2>/dev/null
echo "docs/season-report.png written"
