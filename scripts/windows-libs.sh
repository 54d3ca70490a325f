#!/usr/bin/env bash
# Builds the libraries the Windows program links, as static libraries for 64-bit Windows,
# from Debian's own source packages with Debian's MinGW-w64, and caches them outside the
# clone: SQLite (the amalgamation of Debian's sqlite3 source, the SQLite of the Linux
# build), SQLiteCpp over it, and libzip over Debian's zlib for MinGW-w64. A later call with
# the same versions, toolchain file and recipe reuses the cache at once.
#
# Prints the installed prefix on its last line of standard output; the build takes it as
# TOLVANE_WINDOWS_LIBS. Needs root the first time (packages, a deb-src entry); about two
# minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

cache_root=${TOLVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvane-patch}
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev cmake
          ninja-build tcl dpkg-dev libsqlite3-dev libsqlitecpp-dev libzip-dev)
# The sources are those of the Linux build's packages, so both systems run the same code.
sources=(sqlite3 sqlitecpp libzip)

log() { echo "windows-libs: $*" >&2; }
set -E
trap 'log "failed (line $LINENO): $BASH_COMMAND"' ERR

source scripts/packages.sh
install_packages "${packages[@]}"
source scripts/debsrc.sh
for package in "${sources[@]}"; do
    ensure_deb_src "$package"
done

versions=()
for package in "${sources[@]}"; do
    versions+=("$package=$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | head -n1)")
done
# Bump when the recipe below changes.
recipe=1
key=$( {
    echo "$recipe"
    printf '%s\n' "${versions[@]}"
    cat "$toolchain"
} | sha256sum | cut -c1-12)
prefix=$cache_root/libs-mingw-static-$key
if [[ -f $prefix/.complete ]]; then
    log "reusing $prefix"
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-libs.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
for version in "${versions[@]}"; do
    apt-get source -qq --download-only "$version" >/dev/null 2>&1
done
for dsc in *.dsc; do
    dpkg-source -x "$dsc" >/dev/null 2>&1
done
rm -rf "$prefix"
mkdir -p "$prefix/lib" "$prefix/include"
cmake_cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF)

log "SQLite"
mkdir sqlite-build
(cd sqlite-build && ../sqlite3-*/configure >/dev/null && make -s sqlite3.c sqlite3.h sqlite3ext.h >/dev/null)
x86_64-w64-mingw32-gcc-posix -O2 -c sqlite-build/sqlite3.c -o sqlite3.o \
    -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_THREADSAFE=1
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" sqlite3.o
cp sqlite-build/sqlite3.h sqlite-build/sqlite3ext.h "$prefix/include/"

log "SQLiteCpp"
cmake -S sqlitecpp-* -B sqlitecpp-build "${cmake_cross[@]}" -DSQLITECPP_INTERNAL_SQLITE=OFF \
    -DSQLITECPP_RUN_CPPLINT=OFF -DSQLITECPP_RUN_CPPCHECK=OFF -DSQLITECPP_BUILD_TESTS=OFF \
    -DSQLITECPP_BUILD_EXAMPLES=OFF -DSQLITECPP_USE_STACK_PROTECTION=OFF \
    -DSQLite3_INCLUDE_DIR="$prefix/include" -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.a" \
    >sqlitecpp.log 2>&1 || { tail -n 30 sqlitecpp.log >&2; exit 1; }
cmake --build sqlitecpp-build >>sqlitecpp.log 2>&1 || { tail -n 30 sqlitecpp.log >&2; exit 1; }
cmake --install sqlitecpp-build >/dev/null

log "libzip"
cmake -S libzip-* -B libzip-build "${cmake_cross[@]}" -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DBUILD_TOOLS=OFF \
    -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    >libzip.log 2>&1 || { tail -n 30 libzip.log >&2; exit 1; }
cmake --build libzip-build >>libzip.log 2>&1 || { tail -n 30 libzip.log >&2; exit 1; }
cmake --install libzip-build >/dev/null

touch "$prefix/.complete"
log "installed in $prefix"
echo "$prefix"
