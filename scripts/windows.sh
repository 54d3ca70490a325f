#!/usr/bin/env bash
# Builds the patch for Windows and tests it under Wine, then packs it for players:
#   1. installs what is missing (as root) and builds the Linux program, which the window's
#      smoke test compares with, and the Linux programs the Wine tests make folders with;
#   2. builds the static Qt for Windows and the libraries the program links, or reuses them
#      from the cache (scripts/windows-qt.sh, scripts/windows-libs.sh);
#   3. cross-builds the program and its tests with MinGW-w64 into build-windows/;
#   4. runs the tests under Wine, among them the real window in a virtual X server;
#   5. copies the zips that the build made (packaging/windows/) into dist/: the players'
#      tolvane-patch-<version>-windows-x64.zip (the exe, its console companion
#      tolvane-patch.com, "Restore previous roster.cmd" and README.txt) and the season authors'
#      tolvane-patch-authors-<version>-windows-x64.zip (the tools, the patch and AUTHORS.txt).
# The first run takes about 25 minutes on two idle cores, nearly all of it Qt; later runs
# reuse it.
set -euo pipefail
cd "$(dirname "$0")/.."

linux_build=${BUILD_DIR:-build}
windows_build=${WINDOWS_BUILD_DIR:-build-windows}
started=$SECONDS
step() { echo "== $* (at $((SECONDS - started)) s)"; }

step "Linux program for the comparison, in $linux_build/"
BUILD_DIR=$linux_build BUILD_TARGETS="tolvane-patch make-demo-folder tolvane-update-child" \
    scripts/setup.sh

step "Wine"
source scripts/packages.sh
install_packages wine wine64 xvfb xauth xdotool unzip

step "Qt for Windows"
qt=$(scripts/windows-qt.sh | tail -n 1)

step "Libraries for Windows"
libs=$(scripts/windows-libs.sh | tail -n 1)

step "Cross-building into $windows_build/"
cmake -S . -B "$windows_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DTOLVANE_WINDOWS_LIBS="$libs" \
    -DTOLVANE_LINUX_BUILD_DIR="$PWD/$linux_build" >/dev/null
cmake --build "$windows_build"

step "Tests under Wine"
ctest --test-dir "$windows_build" --output-on-failure -j2 --timeout 300

step "Packing"
# The build made the zips, and the tests ran their files; the same source gives the same
# bytes (see packaging/windows/CMakeLists.txt).
version=$(sed -n 's/^project(tolvane_patch VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p dist
for zip in tolvane-patch-$version-windows-x64.zip tolvane-patch-authors-$version-windows-x64.zip; do
    cp "$windows_build/dist/$zip" dist/
    step "Done: dist/$zip ($(du -k "dist/$zip" | cut -f1) KiB)"
done
