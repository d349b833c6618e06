#!/usr/bin/env bash
# Cross-builds the libraries the Windows program and its tests link against, from Debian's own
# source packages, as static libraries for 64-bit Windows (mingw-w64, posix thread model).
#
#   CACHE_DIR/src     the unpacked Debian source packages
#   CACHE_DIR/prefix  headers, static libraries, CMake package files and pkg-config files
#   CACHE_DIR/logs    one log per package
#
# prefix/.gtest-ready appears as soon as GoogleTest is installed, prefix/.ready when everything is.
# A prefix whose .ready is newer than this script and the toolchain file is taken as it is;
# otherwise each package is rebuilt only when its recipe or the toolchain file changed.
# Usage: scripts/build-windows-deps.sh [CACHE_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
self=$root/scripts/build-windows-deps.sh
toolchain=$root/cmake/mingw-w64-x86_64.cmake
cache=$(realpath -m "${1:-$root/build-windows-deps}")
prefix=$cache/prefix
src=$cache/src
logs=$cache/logs
work=$cache/build
triple=x86_64-w64-mingw32
jobs=2

# Newer than everything the built libraries depend on from this repository.
fresh() { [ -e "$1" ] && [ "$1" -nt "$self" ] && [ "$1" -nt "$toolchain" ]; }

fresh "$prefix/.ready" && exit 0
mkdir -p "$prefix" "$src" "$logs" "$work"
# One build at a time per cache; a second caller waits and then finds the finished prefix.
exec 9>"$cache/.lock"
flock 9
fresh "$prefix/.ready" && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

install_tools() {
  local packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev dpkg-dev
    xz-utils cmake make pkg-config)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Source packages come from Debian's archive; a deb-src twin of the configured archive entries is
# added when the machine has none.
ensure_deb_src() {
  apt-cache showsrc pugixml 2>/dev/null | grep -q '^Package:' && return
  local lists=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
  if ! grep -qsE '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' "${lists[@]}"; then
    local deb822=/etc/apt/sources.list.d/debian.sources
    if [ -f "$deb822" ]; then
      sed -e '/^#/d' -e 's/^Types:.*/Types: deb-src/' "$deb822" |
        $SUDO tee /etc/apt/sources.list.d/zelvo-deb-src.sources >/dev/null
    else
      sed -n 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list |
        $SUDO tee /etc/apt/sources.list.d/zelvo-deb-src.list >/dev/null
    fi
  fi
  $SUDO apt-get update -qq
  apt-cache showsrc pugixml 2>/dev/null | grep -q '^Package:' || {
    echo "No Debian source packages available (deb-src)" >&2; exit 1; }
}

# Prints the unpacked source folder of a Debian source package, fetching it when absent.
source_dir() {
  local pkg=$1 dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort -V | tail -n 1)
  if [ -z "$dir" ] || [ ! -d "$dir/debian" ]; then
    # The newest version listed may be missing from the archive; an older one then serves.
    local version
    for version in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -urV); do
      (cd "$src" && apt-get source -q "$pkg=$version") >&2 && break
    done
    dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort -V | tail -n 1)
  fi
  echo "$dir"
}

cmake_build() {
  local name=$1 dir=$2; shift 2
  rm -rf "${work:?}/$name"
  cmake -S "$dir" -B "$work/$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZELVO_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$work/$name" -j"$jobs"
  cmake --install "$work/$name"
}

build_googletest() {
  cmake_build googletest "$1" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

build_pugixml() {
  cmake_build pugixml "$1" -DPUGIXML_BUILD_TESTS=OFF
}

# The library is linked into DLLs of the program too, which must not re-export it: its symbols
# are built plain (no dllexport) and its users see the same declarations. Its own extra compiler
# flags stay off: their stack protector would need libssp in every program.
build_cjson() {
  cmake_build cjson "$1" -DENABLE_CUSTOM_COMPILER_FLAGS=OFF -DENABLE_CJSON_TEST=OFF \
    -DENABLE_CJSON_UTILS=OFF -DENABLE_PUBLIC_SYMBOLS=OFF -DENABLE_HIDDEN_SYMBOLS=ON \
    -DENABLE_TARGET_EXPORT=OFF
  sed -i 's/^Cflags:.*/& -DCJSON_HIDE_SYMBOLS/' "$prefix/lib/pkgconfig/libcjson.pc"
}

build_libjsoncpp() {
  cmake_build libjsoncpp "$1" -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF
}

# Debian builds minizip with autotools; the library is five C files, compiled here directly with
# the layout of Debian's libminizip-dev (headers in include/minizip, minizip.pc).
build_minizip() {
  local dir=$1 out=$work/minizip f objs=()
  rm -rf "$out" && mkdir -p "$out" "$prefix/include/minizip" "$prefix/lib/pkgconfig"
  for f in ioapi mztools unzip zip iowin32; do
    "$triple-gcc-posix" -O2 -Wall -c "$dir/$f.c" -I"$dir" -o "$out/$f.o"
    objs+=("$out/$f.o")
  done
  rm -f "$prefix/lib/libminizip.a"
  "$triple-ar" rcs "$prefix/lib/libminizip.a" "${objs[@]}"
  for f in crypt ioapi mztools unzip zip iowin32; do
    install -m 644 "$dir/$f.h" "$prefix/include/minizip/"
  done
  local version
  version=$(sed -n 's/^AC_INIT(\[minizip\], \[\([^]]*\)\].*/\1/p' "$dir/configure.ac")
  sed -e "s|@prefix@|$prefix|" -e 's|@exec_prefix@|${prefix}|' -e 's|@libdir@|${prefix}/lib|' \
    -e 's|@includedir@|${prefix}/include|' -e "s|@PACKAGE_VERSION@|$version|" \
    "$dir/minizip.pc.in" >"$prefix/lib/pkgconfig/minizip.pc"
  link_zlib
}

# zlib comes from the mingw sysroot (libz-mingw-w64-dev). Only its static archive is offered in
# the prefix, so that a library search there cannot pick the import library of zlib1.dll.
link_zlib() {
  local sysroot=/usr/$triple
  ln -sf "$sysroot/lib/libz.a" "$prefix/lib/libz.a"
  local version
  version=$(sed -n 's/^Version: *//p' "$sysroot/lib/pkgconfig/zlib.pc")
  cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib

Name: zlib
Description: zlib compression library (static, from the mingw-w64 sysroot)
Version: $version
Libs: -L\${libdir} -lz
Cflags:
EOF
}

# Header only, without TLS or compression: the program serves plain HTTP on loopback.
build_cpp-httplib() {
  cmake_build cpp-httplib "$1" -DHTTPLIB_USE_OPENSSL_IF_AVAILABLE=OFF \
    -DHTTPLIB_USE_ZLIB_IF_AVAILABLE=OFF -DHTTPLIB_USE_BROTLI_IF_AVAILABLE=OFF -DHTTPLIB_COMPILE=OFF
  local version
  version=$(sed -n 's/.*#define CPPHTTPLIB_VERSION "\([^"]*\)".*/\1/p' "$prefix/include/httplib.h")
  cat >"$prefix/lib/pkgconfig/cpp-httplib.pc" <<EOF
prefix=$prefix
includedir=\${prefix}/include

Name: cpp-httplib
Description: A C++ HTTP server and client library (header only)
Version: $version
Libs: -lws2_32
Cflags: -I\${includedir}
EOF
}

# What a package's build depends on here: its recipe, the shared steps and the toolchain file.
recipe_hash() {
  { declare -f "build_$1" cmake_build link_zlib; cat "$toolchain"; } |
    sha256sum | cut -c1-16
}

# Builds one package unless its stamp holds the current recipe; prints one line, or the log's
# tail on failure.
build_package() {
  local pkg=$1 stamp=$prefix/.built-$1 log=$logs/$1.log start hash
  hash=$(recipe_hash "$pkg")
  if [ "$(cat "$stamp" 2>/dev/null)" = "$hash" ]; then
    echo "  $pkg: cached"
    return
  fi
  start=$SECONDS
  : >"$log"
  # A subshell outside any condition, so that the first failing step ends the build.
  set +e
  (
    set -e
    dir=$(source_dir "$pkg")
    [ -n "$dir" ] || { echo "no source folder for $pkg"; exit 1; }
    echo "$dir" >"$work/$pkg.src"
    "build_$pkg" "$dir"
  ) >>"$log" 2>&1
  local rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    echo "  $pkg: FAILED, the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
  echo "$hash" >"$stamp"
  echo "  $pkg: $(basename "$(cat "$work/$pkg.src")") built in $((SECONDS - start))s"
}

echo "Windows dependencies in $prefix"
install_tools
ensure_deb_src
# The test framework first, so that test builds can start while the rest is built.
build_package googletest
touch "$prefix/.gtest-ready"
for pkg in pugixml cjson libjsoncpp minizip cpp-httplib; do
  build_package "$pkg"
done
touch "$prefix/.ready"
