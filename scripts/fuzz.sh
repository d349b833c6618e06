#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for SECONDS (default
# 600), two at a time. A target is named by its seed folder tests/fuzz/corpus/<target>.
#   build-fuzz/corpus/<target>    working corpus: the seeds plus what earlier runs kept
#   build-fuzz/findings/<target>  inputs that broke a property or crashed (emptied per run)
#   build-fuzz/logs/<target>.log  the fuzzer's output
# With --keep-going the fuzzer runs in fork mode and carries on after a finding, so one run
# collects several. Fails when any target found something or did not run.
# Usage: scripts/fuzz.sh [--keep-going] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

keep_going=0
if [ "${1:-}" = "--keep-going" ]; then keep_going=1; shift; fi
seconds=${1:-600}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELVO_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target zelvo_fuzz_targets >/dev/null

# The targets write their scratch files (and fsync them) many times a second: keep them in
# memory when the machine has a memory file system.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

run_target() {
  local target=$1
  local corpus="$build/corpus/$target" findings="$build/findings/$target"
  local log="$build/logs/$target.log"
  mkdir -p "$corpus" "$build/logs"
  rm -rf "$findings" && mkdir -p "$findings"
  cp -n "$root/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  local mode=()
  [ "$keep_going" -eq 1 ] && mode=(-fork=1 -ignore_crashes=1)
  local rc=0
  "$build/bin/fuzz_$target" "${mode[@]}" -max_total_time="$seconds" -timeout=25 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || rc=$?
  echo "$rc" >"$build/logs/$target.rc"
}

mapfile -t targets < <(cd "$root/tests/fuzz/corpus" && ls)
running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge 2 ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

failed=0 passed=0 failures=0
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  # The engine's own count; in fork mode only its progress lines ("#N: ...") have it.
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' ||
    true)
  [ "$keep_going" -eq 0 ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#' || true)
  count=$(find "$build/findings/$target" -type f | wc -l)
  rc=$(cat "$build/logs/$target.rc" 2>/dev/null || echo 1)
  if [ "$count" -gt 0 ]; then
    verdict="FOUND $count input(s) in build-fuzz/findings/$target"
    failed=1
  elif [ "$rc" -ne 0 ]; then
    verdict="FAILED (exit $rc), see build-fuzz/logs/$target.log"
    failed=1
  else
    verdict="nothing found"
  fi
  printf '%-14s %12s executions  %s\n' "$target" "${runs:-0}" "$verdict"
  if [ "$verdict" = "nothing found" ]; then passed=$((passed + 1)); else failures=$((failures + 1)); fi
done
echo "fuzz: $passed passed, $failures failed"
exit "$failed"
