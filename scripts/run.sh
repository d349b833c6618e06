#!/usr/bin/env bash
# Builds the program and starts it beside a simulated box on 127.0.0.20, with a program
# directory of its own for the demo (build/demo: the shipped data files, kept between runs).
# The program prints "ZELVO UI: <url>": open that address in a browser (the program also tries
# to open it itself). Discovery walks the loopback network only. The virtual COM port and its
# tunnel service live in build/demo too (ports/ and run/) unless ZELVO_PORTS_DIR or TNL_RUN_DIR
# say otherwise; the box's pass-through end listens on 127.0.0.20:8600.
#   --terminal   the terminal frontend instead of the pages (type help)
# Other arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DZELVO_BUILD_TESTS=OFF
bin="$root/build/bin"
demo="$root/build/demo"
mkdir -p "$demo"
cp -rn "$root/data/." "$demo/"
cp -f "$bin/tnl_service" "$demo/"
# The demo edition, branded from the package the build makes (one imported later stays).
cp -n "$bin/VirCert.ce" "$demo/"
export ZELVO_PORTS_DIR=${ZELVO_PORTS_DIR:-$demo/ports}
export TNL_RUN_DIR=${TNL_RUN_DIR:-$demo/run}

"$bin/zelvo_box_sim" --address 127.0.0.20 --discovery-address 127.0.0.255 --type ZELVO-4G \
  --pass-port 8600 &
sim=$!
# The demo's tunnel service goes with the demo.
trap 'kill $sim 2>/dev/null || true; "$demo/tnl_service" uninstall >/dev/null 2>&1 || true' EXIT
export ZELVO_LOCAL_ADDRESSES=127.0.0.1
sleep 0.3

if [ "${1:-}" = "--terminal" ]; then
  cat <<'HELP'
A simulated box listens on 127.0.0.20. Try these page commands, one per line:
  11 LocalNetwork       use the LAN link
  12 127.0.0.20         select the simulated box (it is identified on the next pass)
  18                    flash its light        5   test its network
  22 UTC  then  1       set its time zone and clock
  2                     read its configuration into setup.xml
  13                    update its firmware from update/ (answer y at the questions)
  10 1                  discover boxes (loopback only)
Type help for more, quit to leave.
HELP
  exec "$bin/zelvo" --dir "$demo" --start-delay-ms 500 "$@"
fi
cat <<HELP
A simulated box listens on 127.0.0.20. In the pages: press "Tools", choose the LAN link, enter
127.0.0.20 (or press Discover) and manage the box. Ctrl+C ends the program.
The virtual port COM2 appears as $ZELVO_PORTS_DIR/com2 once the status bar says ready. On the
Tools page start a relay pass-through to 127.0.0.20:8600:demo; whatever a program writes to
that port then comes back from the box's end, e.g.:
  python3 -c 'import os,tty;f=os.open("$ZELVO_PORTS_DIR/com2",os.O_RDWR);tty.setraw(f);os.write(f,b"hi");print(os.read(f,9))'
HELP
"$bin/zelvo" --dir "$demo" "$@"
