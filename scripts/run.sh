#!/usr/bin/env bash
# Builds the program and starts it with the terminal frontend in its build folder, beside a
# simulated box on 127.0.0.20 so that there is something to talk to. Discovery walks the
# loopback network only. Extra arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DZELVO_BUILD_TESTS=OFF
bin="$root/build/bin"

"$bin/zelvo_box_sim" --address 127.0.0.20 --discovery-address 127.0.0.255 --type ZELVO-4G &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
export ZELVO_LOCAL_ADDRESSES=127.0.0.1
sleep 0.3

cat <<'HELP'
A simulated box listens on 127.0.0.20. Try these page commands, one per line:
  11 LocalNetwork       use the LAN link
  12 127.0.0.20         select the simulated box (it is identified on the next pass)
  18                    flash its light        5   test its network
  22 UTC  then  1       set its time zone and clock
  2                     read its configuration into setup.xml
  0 Ethernet\x02Ip\x0210.0.0.5\x02   build setup.xml from form fields and write it to the box
  13                    update its firmware from update/ (answer y at the questions)
  10 1                  discover boxes (loopback only)
Type help for more, quit to leave.
HELP
"$bin/zelvo" --start-delay-ms 500 "$@"
