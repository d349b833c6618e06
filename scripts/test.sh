#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, followed by the browser tests
# (chromium and playwright-core, installed when missing), once under the address and
# undefined-behaviour sanitizers; then, when clang is there, runs every fuzz target briefly;
# last, the Windows build from the same sources with its tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

echo "== normal build"
"$root/scripts/build.sh" "$root/build" -DZELVO_BUILD_TESTS=ON
(cd "$root/build" && ctest --output-on-failure --no-tests=error -j2 --timeout 300)
echo "== browser tests"
"$root/tests/browser/run.sh" "$root/build"

echo "== sanitizer build"
"$root/scripts/build.sh" "$root/build-asan" -DZELVO_BUILD_TESTS=ON -DZELVO_SANITIZE=ON
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure --no-tests=error -j2 --timeout 600)

if command -v clang++ >/dev/null 2>&1; then
  echo "== fuzz build (20 s per target)"
  "$root/scripts/fuzz.sh" 20
fi

echo "== windows build (mingw-w64), tests under wine"
"$root/scripts/test-windows.sh" "$root/build-windows"
