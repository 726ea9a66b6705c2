#!/usr/bin/env bash
# Resident memory of the program idle in its window (on a virtual X display) against the same
# program idle without one (a script waiting on the real clock). Usage: bench/window-memory.sh
# [PROGRAM] (default build/cli/quillora, as `make build` makes it).
set -euo pipefail
program=${1:-build/cli/quillora}
[ -x "$program" ] || { echo "no program at $program (run make build)" >&2; exit 1; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# The largest resident size (VmHWM) and the current one (VmRSS) of a process, in MiB.
sample() {
  awk '/VmRSS|VmHWM/ {printf "%s %.1f MiB  ", $1, $2 / 1024}' "/proc/$1/status"
}

printf 'wait 4\n' > "$home/idle.txt"
env -u DISPLAY -u WAYLAND_DISPLAY "$program" --home "$home/headless" --realtime --microphone silence \
  run "$home/idle.txt" >/dev/null &
pid=$!
sleep 3
echo "headless, idle: $(sample $pid)"
wait $pid

if ! command -v xvfb-run >/dev/null; then
  echo "window: skipped, no xvfb-run"
  exit 0
fi
xvfb-run -a -s "-screen 0 800x900x24" env GDK_BACKEND=x11 GSK_RENDERER=cairo NO_AT_BRIDGE=1 bash -c '
  "$0" --window --home "$1/window" --microphone silence >/dev/null 2>&1 &
  pid=$!
  sleep 4
  awk "/VmRSS|VmHWM/ {printf \"%s %.1f MiB  \", \$1, \$2 / 1024}" /proc/$pid/status | sed "s/^/window, idle: /"
  echo
  kill $pid
  wait $pid 2>/dev/null || true
' "$program" "$home"
