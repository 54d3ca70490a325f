#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows from Debian's own qt6-base source package, with
# Debian's MinGW-w64, and caches it outside the clone. A later call with the same Qt
# version, configure line, toolchain file and patch reuses the cache at once.
#
# Prints the installed prefix on its last line of standard output. Needs root the first
# time (packages, a deb-src entry); about 20 minutes on two idle cores. With --cached it only
# looks: it prints the prefix if the cache holds this Qt, and fails otherwise.
set -euo pipefail
cached_only=
[[ ${1:-} == --cached ]] && cached_only=1
cd "$(dirname "$0")/.."
repo=$PWD

qt_version=6.4.2
cache_root=${TOLVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvane-patch}

# Only what the program needs: widgets, the Windows and offscreen platforms. No Qt Sql: the
# program reaches SQLite through SQLiteCpp (scripts/windows-libs.sh). Leave direct2d on: the
# Windows platform plugin refers to it.
configure_options=(
    -release -static -static-runtime -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-glib -no-pkg-config -no-zstd
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion
    -no-feature-sql
    -no-feature-network -no-feature-testlib -no-feature-concurrent -no-feature-xml
    -no-feature-printsupport -no-feature-vulkan -no-feature-androiddeployqt
)
toolchain=$repo/cmake/mingw-w64-x86_64.cmake

# Bump when the preparation of the source below changes.
source_recipe=2
key=$( {
    echo "$qt_version $source_recipe"
    printf '%s\n' "${configure_options[@]}"
    cat "$toolchain"
} | sha256sum | cut -c1-12)
prefix=$cache_root/qt-$qt_version-mingw-static-$key

log() { echo "windows-qt: $*" >&2; }

if [[ -f $prefix/.complete ]]; then
    log "reusing $prefix"
    echo "$prefix"
    exit 0
fi
if [[ -n $cached_only ]]; then
    log "no Qt for Windows cached in $prefix"
    exit 1
fi

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
          qt6-base-dev qt6-base-dev-tools cmake ninja-build tcl dpkg-dev)

# From here on, a failing command is named before the script ends.
set -E
trap 'log "failed (line $LINENO): $BASH_COMMAND"' ERR

source scripts/debsrc.sh
ensure_deb_src qt6-base
source scripts/packages.sh
install_packages "${packages[@]}"

host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
[[ $host_qt == "$qt_version"+* ]] ||
    { log "the host Qt is $host_qt; the Windows Qt must be the same version ($qt_version)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
log "building Qt $qt_version for Windows in $work (about 20 minutes on two idle cores)"

cd "$work"
apt-get source -qq --download-only qt6-base="$host_qt" >/dev/null
dpkg-source -x qt6-base_*.dsc qtbase >/dev/null

# Debian's +dfsg tarball lacks the tablet headers that a Windows build needs (and SQLite,
# which Qt Sql would need and the program does not take from Qt).
# Tablet headers: Wine's own, with what they assume to be included before them.
apt-get download -qq libwine-dev >/dev/null
dpkg-deb -x libwine-dev_*.deb wine-dev
mkdir -p qtbase/src/3rdparty/wintab
for header in wintab.h pktdef.h; do
    found=$(find wine-dev -name "$header" -path '*windows*' | head -n1)
    [[ -n $found ]] || { log "libwine-dev has no $header"; exit 1; }
    { printf '#include <windows.h>\n#include <_mingw_dxhelper.h>\n#ifndef API\n#define API WINAPI\n#endif\n'
      cat "$found"; } >"qtbase/src/3rdparty/wintab/$header"
done

# The installed Qt records the toolchain file's path: keep a copy inside the prefix.
mkdir -p "$prefix"
cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"

mkdir build
cd build
../qtbase/configure -prefix "$prefix" -qt-host-path /usr -xplatform win32-g++ \
    "${configure_options[@]}" \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >configure.log 2>&1 ||
    { tail -n 40 configure.log >&2; exit 1; }
cmake --build . --parallel >build.log 2>&1 || { tail -n 60 build.log >&2; exit 1; }
cmake --install . >/dev/null
touch "$prefix/.complete"
log "installed in $prefix"
echo "$prefix"
