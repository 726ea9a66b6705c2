#!/usr/bin/env bash
# The window on a virtual X display (Xvfb, no GPU): from the program's start to its window being
# mapped (the X server's MapNotify, as xev on the root window reports it; polling with xdotool
# costs 0.1-0.3 s a poll on a busy machine), and the processor time that 40 frames of the whole screen take (the
# window resized 40 times, each resize waited for), with each of GTK's renderers (the default the
# program chooses, GSK_RENDERER=cairo, GSK_RENDERER=gl). Each build and renderer is run once a
# round, ROUNDS rounds (7 unless given), alternated; medians. Usage:
# bench/window-start.sh [PROGRAM [BEFORE]] (default build-bench/cli/quillora).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build-bench/cli/quillora}
before=${2:-}
rounds=${ROUNDS:-7}
[ -x "$program" ] || { echo "no program at $program (run make bench)" >&2; exit 1; }
for tool in Xvfb xdotool xev; do
  command -v $tool >/dev/null || { echo "needs $tool (xvfb, xdotool, x11-utils)" >&2; exit 1; }
done
work=$(mktemp -d)
export QUILLORA_BUNDLE=${QUILLORA_BUNDLE:-$PWD/resources}

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 800x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$work/display")
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY

now_ms() { date +%s%3N; }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; } # user + system, in clock ticks

# One start: "mapped-ms frame-cpu-ms" appended to $1.
one() {
  local out=$1 prog=$2 renderer=$3 home="$work/home" start id pid t0 t1 mapped_at line
  rm -rf "$home"
  coproc XEV { stdbuf -oL xev -root -event substructure; }
  sleep 0.3 # xev is listening
  start=$(now_ms)
  if [ "$renderer" = default ]; then
    env -u GSK_RENDERER "$prog" --window --home "$home" --microphone silence >/dev/null 2>&1 &
  else
    GSK_RENDERER=$renderer "$prog" --window --home "$home" --microphone silence >/dev/null 2>&1 &
  fi
  pid=$!
  while read -r line <&"${XEV[0]}"; do
    case "$line" in MapNotify*) break ;; esac
  done
  mapped_at=$(now_ms)
  kill "$XEV_PID"
  wait "$XEV_PID" 2>/dev/null || true
  id=$(xdotool search --sync --onlyvisible --name '^Quillora$' | head -n 1)
  local mapped=$((mapped_at - start))
  sleep 3 # the model's background load is over: only frames count below
  t0=$(ticks $pid)
  for i in $(seq 40); do
    xdotool windowsize --sync "$id" $((400 + (i % 2) * 40)) $((700 + i)) 2>/dev/null || true
  done
  sleep 0.3
  t1=$(ticks $pid)
  kill $pid
  wait $pid 2>/dev/null || true
  echo "$mapped $(((t1 - t0) * 1000 / $(getconf CLK_TCK)))" >> "$out"
}

builds=("now:$program")
[ -n "$before" ] && builds+=("before:$before")
for ((r = 0; r < rounds; r++)); do
  for b in "${builds[@]}"; do
    for renderer in default cairo gl; do
      one "$work/${b%%:*}-$renderer" "${b#*:}" $renderer
    done
  done
done

med() { cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "medians of $rounds alternated rounds, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for b in "${builds[@]}"; do
  for renderer in default cairo gl; do
    f="$work/${b%%:*}-$renderer"
    echo "${b%%:*}, $renderer renderer: mapped after $(med "$f" 1) ms; 40 frames $(med "$f" 2) ms of processor time"
  done
done
