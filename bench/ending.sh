#!/usr/bin/env bash
# How long the program takes to end on SIGTERM one second after Preview of the essay with a 60 MB
# stored transcript (a script on the real clock, which ends as the window does: the application
# terminates, what it saves is written, the process ends), idle, with the disk kept busy by a
# writer that flushes, and held to a tenth of one core, for this tree and for REF (main, for
# instance) built beside it in a git worktree, side by side in one run.
# Usage: bench/ending.sh REF [BUILD] (default build-bench); RUNS=3 tries of each.
set -euo pipefail
cd "$(dirname "$0")/.."
beside_usage="bench/ending.sh REF [BUILD]"
source bench/lib/beside.sh
runs=${RUNS:-3}

# The stored 60 MB transcript, kept to copy into each run's data folder.
stored_transcript "$work/prefs.plist" 60
printf 'tap StickyDynamicButton\nwait 1\npress Essay\nwait 1\npress Preview\nwait 600\n' >"$work/preview.txt"

# Seconds from SIGTERM to the end of PROGRAM, signalled a second after its Preview, under CONDITION.
ending() {
  local program=$1 condition=$2 home pid start
  home=$(mktemp -d -p "$work")
  mkdir -p "$home/Library/Preferences"
  cp "$work/prefs.plist" "$home/Library/Preferences/com.quillora.app.plist"
  "$program" --home "$home" --realtime --microphone silence run "$work/preview.txt" >/dev/null 2>&1 &
  pid=$!
  local throttle=
  until grep -qx Preview "$home/Library/Logs/console.log" 2>/dev/null; do
    kill -0 $pid 2>/dev/null || { echo "the program ended before its Preview" >&2; exit 1; }
    sleep 0.05
  done
  if [ "$condition" = "10% of a core" ]; then
    (while kill -STOP $pid 2>/dev/null; do sleep 0.09; kill -CONT $pid 2>/dev/null; sleep 0.01; done) &
    throttle=$!
  fi
  sleep 1
  start=$(date +%s.%N)
  kill -TERM $pid
  wait $pid || true
  local took
  took=$(echo "$(date +%s.%N) - $start" | bc)
  [ -n "$throttle" ] && { kill $throttle 2>/dev/null || true; wait $throttle 2>/dev/null || true; }
  rm -rf "$home"
  printf '%.2f' "$took"
}

busy_disk() {
  while :; do dd if=/dev/zero of="$work/busy" bs=1M count=256 conv=fsync status=none; done
}

for condition in idle "disk busy" "10% of a core"; do
  writer=
  if [ "$condition" = "disk busy" ]; then
    busy_disk &
    writer=$!
  fi
  b=() a=()
  for ((i = 0; i < runs; i++)); do
    b+=("$(ending "$before_build/cli/quillora" "$condition")")
    a+=("$(ending "$build/cli/quillora" "$condition")")
  done
  [ -n "$writer" ] && { kill $writer; wait $writer 2>/dev/null || true; }
  echo "$condition: ${b[*]} s before, ${a[*]} s after"
done
