#!/usr/bin/env bash
# Browser tests: Debian's chromium, driven by playwright-core, against the real program.
# Usage: tests/browser/run.sh BUILD_DIR
#
# Each test file gets a world of its own: a private program directory (a copy of the data files
# in BUILD_DIR/bin and the tunnel service program, so that the build folder's settings are never
# touched), a simulated box on a loopback address of its own, a tunnel service run folder and a
# ports folder, and `zelvo --no-browser` serving its pages on 127.0.0.1 with its single-instance
# lock in a private runtime folder. Nothing leaves 127.0.0.0/8.
# ZELVO_BROWSER_ONLY=NAME runs NAME.test.js alone. Chromium (and Node.js with npm) come from apt
# when they are missing;
# playwright-core is installed from the lock file when it is not there at the pinned version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
bin=$(cd "$1" && pwd)/bin
for program in zelvo zelvo_box_sim tnl_service; do
  [ -x "$bin/$program" ] || { echo "browser tests: $bin/$program is missing" >&2; exit 2; }
done

box_type=ZELVO-4G
box_serial=ZB-BROWSER-0042
box_mode=1
first_box_host=60   # the boxes live on 127.0.0.60 and up

install_tools() {
  local missing=()
  [ -x /usr/bin/chromium ] || missing+=(chromium)
  command -v node >/dev/null 2>&1 || missing+=(nodejs)
  command -v npm >/dev/null 2>&1 || missing+=(npm)
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
  cd "$here"
  local pinned installed
  pinned=$(node -p "require('./package.json').dependencies['playwright-core']")
  installed=$(node -p "try { require('./node_modules/playwright-core/package.json').version } catch (e) { '' }")
  if [ "$pinned" != "$installed" ]; then
    if [ -f package-lock.json ]; then npm ci --no-audit --no-fund; else npm install --no-audit --no-fund; fi
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-browser.XXXXXX")
pids=()
# Asks each process to end, and makes it after 10 s (a program stuck in a modal form, say).
stop_all() {
  local pid tries
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  pids=()
}
# A program that started itself again is no child of ours: it is found by its program folder.
stop_restarted() {
  local proc found=()
  for proc in /proc/[0-9]*; do
    if tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -qF -- "--dir $1 "; then
      found+=("${proc#/proc/}")
    fi
  done
  [ ${#found[@]} -gt 0 ] || return 0
  pids=("${found[@]}")
  stop_all
}
# The tunnel services that the programs started run on in the background: stop each world's.
stop_tunnel_services() {
  local world
  for world in "$work"/*/; do
    [ -x "$world/program/tnl_service" ] || continue
    TNL_RUN_DIR="$world/tnl" "$world/program/tnl_service" uninstall >/dev/null 2>&1 || true
  done
}
trap 'stop_all; stop_tunnel_services; rm -rf "$work"' EXIT

# The data files of the build, without its programs, plus links that point out of html/ for
# the host's path checks. Update checks, should one start, would go to loopback.
make_program_dir() {
  local dir=$1 entry
  mkdir -p "$dir"
  for entry in "$bin"/*; do
    [ -f "$entry" ] && [ -x "$entry" ] && continue
    cp -a "$entry" "$dir/"
  done
  cp -a "$bin/tnl_service" "$dir/"
  ln -s ../SoftLang.ini "$dir/html/outside.ini"
  ln -s .. "$dir/html/up"
  sed -i -e 's|^reqUrl=.*|reqUrl=http://127.0.0.1:9/download|' \
         -e 's|^reqServer=.*|reqServer=127.0.0.1|' "$dir/UpdateInfo.ini"
}

# Waits until FILE has a line matching PATTERN while process PID lives; prints the line.
wait_for_line() {
  local file=$1 pattern=$2 pid=$3 tries=0 line
  while [ $tries -lt 300 ]; do
    line=$(grep -m1 -E "$pattern" "$file" 2>/dev/null || true)
    if [ -n "$line" ]; then echo "$line"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
    tries=$((tries + 1))
  done
  return 1
}

# Runs one test file in its own world; the exit status is the test's.
run_file() {
  local file=$1 box=$2 name dir url status=0
  name=$(basename "$file" .test.js)
  dir="$work/$name"
  make_program_dir "$dir/program"
  mkdir -m 700 "$dir/runtime" "$dir/tnl"
  mkdir "$dir/ports"

  "$bin/zelvo_box_sim" --address "$box" --discovery-address 127.0.0.255 --type "$box_type" \
    --serial "$box_serial" --mode "$box_mode" --restart-ms 1000 >"$dir/box.log" 2>&1 &
  pids+=($!)
  if ! wait_for_line "$dir/box.log" '^box_sim listening' "$!" >/dev/null; then
    echo "browser tests: the simulated box on $box did not start:" >&2
    cat "$dir/box.log" >&2
    return 1
  fi

  # The file dialogs start in the home folder: give the program one of its own. Pop-ups go to
  # the browser of the "bro" setting: a stand-in "firefox" that only writes down its arguments,
  # found on PATH, with no desktop entries of the machine in the way. The panel editor's
  # download tool starts through a stand-in "wine" that does the same.
  mkdir -p "$dir/home" "$dir/bin" "$dir/xdg"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$dir/popups.log" >"$dir/bin/firefox"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$dir/wine.log" >"$dir/bin/wine"
  chmod +x "$dir/bin/firefox" "$dir/bin/wine"
  sed -i 's/^bro=.*/bro=Firefox/' "$dir/program/SoftLang.ini"
  # The edition test starts without a certificate package and chooses one from the home folder.
  if [ "$name" = edition ]; then mv "$dir/program/VirCert.ce" "$dir/home/demo_edition.ce"; fi
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" ZELVO_LOCAL_ADDRESSES=127.0.0.1 \
  PATH="$dir/bin:$PATH" XDG_DATA_HOME="$dir/xdg" XDG_DATA_DIRS="$dir/xdg" \
  TNL_RUN_DIR="$dir/tnl" ZELVO_PORTS_DIR="$dir/ports" \
    "$bin/zelvo" --dir "$dir/program" --port 0 --no-browser >"$dir/zelvo.out" 2>"$dir/zelvo.err" &
  pids+=($!)
  if ! url=$(wait_for_line "$dir/zelvo.out" '^ZELVO UI: ' "$!"); then
    echo "browser tests: zelvo printed no address:" >&2
    cat "$dir/zelvo.out" "$dir/zelvo.err" >&2
    return 1
  fi

  ZELVO_URL=${url#ZELVO UI: } ZELVO_PROGRAM_DIR="$dir/program" ZELVO_HOME_DIR="$dir/home" \
  ZELVO_POPUP_LOG="$dir/popups.log" ZELVO_WINE_LOG="$dir/wine.log" ZELVO_OUT_LOG="$dir/zelvo.out" \
  TNL_RUN_DIR="$dir/tnl" ZELVO_PORTS_DIR="$dir/ports" \
  ZELVO_BOX_ADDRESS="$box" \
  ZELVO_BOX_TYPE="$box_type" ZELVO_BOX_SERIAL="$box_serial" ZELVO_BOX_MODE="$box_mode" \
    timeout 600 node --test --test-reporter=spec "$file" || status=$?
  stop_all
  stop_restarted "$dir/program"
  stop_tunnel_services
  if [ $status -ne 0 ]; then
    echo "---- zelvo's output for $name" >&2
    cat "$dir/zelvo.out" "$dir/zelvo.err" >&2
  fi
  return $status
}

install_tools
started=$(date +%s)
failed=()
host=$first_box_host
for file in "$here"/${ZELVO_BROWSER_ONLY:-*}.test.js; do
  echo "== browser: $(basename "$file")"
  run_file "$file" "127.0.0.$host" || failed+=("$(basename "$file")")
  host=$((host + 1))
done
echo "browser tests took $(($(date +%s) - started)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "browser tests failed: ${failed[*]}" >&2
  exit 1
fi
