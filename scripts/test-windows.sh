#!/usr/bin/env bash
# Cross-builds the Windows program and its tests (scripts/build-windows.sh) and runs the tests
# under Wine: the unit and protocol tests, the check of tnl.dll's exports, and the portable zip,
# whose program must start under Wine and print its UI line. The Wine prefix lives in a
# temporary folder and goes with the run.
# Usage: scripts/test-windows.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "$1")

if ! dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: wine64"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq wine64 >/dev/null
fi
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-zip.XXXXXX")
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
# One Wine server for the whole run, so that each test program starts quickly; it must be the
# first (a second server for the prefix refuses to start).
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1

start=$(date +%s)
"$root/scripts/build-windows.sh" "$dir"
echo "windows build: $(( $(date +%s) - start )) s"

# The portable zip is made before the tests write their files beside the programs.
(cd "$dir" && cpack -G ZIP >/dev/null)

# Wine now and then fails to start a test program (ended at once, no output at all): the tests
# that failed run once more, and the stage fails only when one fails again.
(cd "$dir" && { ctest --output-on-failure --no-tests=error -j2 --timeout 300 || {
  echo "wine: running the failed tests once more"
  ctest --rerun-failed --output-on-failure --timeout 300
}; })

# The zip, unpacked elsewhere: its program must start and print where its UI is.
zip=$(ls -t "$dir"/ZELVO-*.zip | head -n 1)
echo "zip: $(basename "$zip"), $(stat -c %s "$zip") bytes"
unzip -q "$zip" -d "$work"
program=$(find "$work" -name ZELVO.exe | head -n 1)
ZELVO_LOCAL_ADDRESSES=127.0.0.1 "$wine" "$program" --port 0 --no-browser \
  >"$work/out.log" 2>"$work/err.log" &
pid=$!
for _ in $(seq 1 300); do
  grep -q '^ZELVO UI: ' "$work/out.log" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
if ! grep -q '^ZELVO UI: ' "$work/out.log"; then
  echo "the zipped program printed no UI line" >&2
  cat "$work/out.log" "$work/err.log" >&2
  exit 1
fi
grep '^ZELVO UI: ' "$work/out.log" | sed 's/token=[^&]*/token=.../'
