#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (as root) and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

# mdbtools-dev, libglib2.0-dev and pkg-config serve only the tests' libmdb cross-check of
# the Jet reader; the program itself does not use them. Debian's CMake configuration of
# libzip-dev names libzip's own tools (zipcmp, zipmerge, ziptool), and fails without them. chromium,
# chromium-driver and python3 serve only the tests of the season report in a browser.
packages=(cmake ninja-build g++ qt6-base-dev sqlite3 libsqlite3-dev libsqlitecpp-dev
          libzip-dev zipcmp zipmerge ziptool unzip
          libgtest-dev libgmock-dev xvfb xdotool imagemagick fonts-liberation2 fonts-dejavu-core
          clang libclang-rt-dev clang-format mdbtools-dev libglib2.0-dev pkg-config
          chromium chromium-driver python3)
source scripts/packages.sh
install_packages "${packages[@]}"

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
# BUILD_TARGETS (space-separated) builds only those.
targets=()
for target in ${BUILD_TARGETS:-}; do
    targets+=(--target "$target")
done
cmake --build "$build" "${targets[@]}"
