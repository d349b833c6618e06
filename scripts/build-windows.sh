#!/usr/bin/env bash
# Cross-builds the program and its tests for 64-bit Windows into the given folder; extra arguments
# go to CMake. The libraries it links come from scripts/build-windows-deps.sh, whose cache is
# <repo>/build-windows-deps unless ZELVO_WINDOWS_DEPS_CACHE names another folder.
# Usage: scripts/build-windows.sh BUILD_DIR [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cache=$(realpath -m "${ZELVO_WINDOWS_DEPS_CACHE:-$root/build-windows-deps}")
"$root/scripts/build-windows-deps.sh" "$cache"
prefix=$cache/prefix

# pkg-config sees the Windows libraries only, never the host's.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
# Release: with debug info every statically linked test program grows about fivefold (some 20 MB
# each) and links far slower; a build with it can still be asked for with -DCMAKE_BUILD_TYPE.
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DZELVO_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DZELVO_BUILD_TESTS=ON \
  "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
