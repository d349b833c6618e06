#!/usr/bin/env bash
# Builds the program and starts it with the terminal frontend in its build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DZELVO_BUILD_TESTS=OFF
exec "$root/build/bin/zelvo" "$@"
