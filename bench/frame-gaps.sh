#!/usr/bin/env bash
# How the window draws while a long text is printed, for this tree and for REF built beside it in
# a git worktree (Release), side by side in one run:
# - in the window on a virtual X display (Xvfb, openbox), PDF pressed on the recipe text view
#   holding 1 MB of ideographs: the longest gap between two drawn frames from the press until the
#   PDF is written (QUILLORA_FRAME_TIMES), and the longest hold of the font lock by a thread of
#   the window's process other than the window's, with the window thread's longest wait for it
#   (QUILLORA_FONT_LOCK_STATS);
# - headless, the export's own time: 1 MB and 3 MB of ideographs (bench/recipe-export.sh), and the
#   essay's PDF (its Preview) with a 1 MB stored transcript.
# Usage: bench/frame-gaps.sh REF [BUILD] (default build-bench); RUNS=3 tries of each in the window.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in Xvfb xdotool openbox pdfinfo; do
  command -v $tool >/dev/null || { echo "needs $tool (xvfb, xdotool, openbox, poppler-utils)" >&2; exit 1; }
done
beside_usage="bench/frame-gaps.sh REF [BUILD]"
source bench/lib/beside.sh
runs=${RUNS:-3}
export QUILLORA_BUNDLE=${QUILLORA_BUNDLE:-$PWD/resources}

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 800x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$work/display")
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY
openbox >/dev/null 2>&1 &
sleep 1

# 1 MB of lines of 40 ideographs, as bench/recipe-export.sh makes them.
perl -e 'srand(7); binmode STDOUT, ":utf8"; my $n = 0;
  while ($n < (1 << 20)) { my $s = join("", map { chr(0x4E00 + int rand 20480) } 1 .. 40) . "\n";
    print $s; { use bytes; $n += length $s; } }' >"$work/recipe.dat"

now() { date +%s.%N; }
# Waits until `condition` holds, for at most `limit` seconds.
await() {
  local limit=$1 start
  shift
  start=$(now)
  until "$@"; do
    [ "$(echo "$(now) - $start > $limit" | bc)" = 1 ] && return 1
    sleep 0.05
  done
}
logged() { grep -qx "$2" "$1/Library/Logs/console.log" 2>/dev/null; }

# Where a person taps, in points of the screen (390 x 844, the program's phone screen): the
# segmented control's "Recipe", the recipe screen's book button, the recipe text view's PDF.
points=("242 44" "365 371" "56 119")
# A point of the screen as a pixel of the window, as the window fits the screen into itself.
click_at() {
  local id=$1 x=$2 y=$3 w h
  eval "$(xdotool getwindowgeometry --shell "$id")"
  w=$WIDTH h=$HEIGHT
  read -r px py < <(awk -v w="$w" -v h="$h" -v x="$x" -v y="$y" 'BEGIN {
    s = w / 390; if (h / 844 < s) s = h / 844
    printf "%d %d\n", (w - 390 * s) / 2 + x * s, (h - 844 * s) / 2 + y * s }')
  xdotool mousemove --window "$id" "$px" "$py" click 1
}

# One export in the window: "gap-ms hold-ms wait-ms" for PROGRAM.
window_export() {
  local program=$1 home pid id pressed saved
  home=$(mktemp -d -p "$work")
  mkdir -p "$home/Documents"
  cp "$work/recipe.dat" "$home/Documents/datafile_recipe.dat"
  QUILLORA_FRAME_TIMES=$home/frames QUILLORA_FONT_LOCK_STATS=$home/stats \
    "$program" --window --home "$home" --microphone silence >/dev/null 2>&1 &
  pid=$!
  await 30 logged "$home" "app become active" || { echo "no window" >&2; exit 1; }
  id=$(xdotool search --sync --onlyvisible --name '^Quillora$' | head -n 1)
  sleep 2
  click_at "$id" ${points[0]}
  sleep 2
  click_at "$id" ${points[1]}
  sleep 3
  pressed=$(python3 -c 'import time; print(time.monotonic())')
  click_at "$id" ${points[2]}
  await 600 logged "$home" "saved success" || { echo "no PDF was saved" >&2; exit 1; }
  saved=$(python3 -c 'import time; print(time.monotonic())')
  kill -TERM $pid
  wait $pid 2>/dev/null || true
  ls "$home/Documents/"*.pdf >/dev/null
  awk -v from="$pressed" -v to="$saved" '$1 > from && $1 <= to { if (last && $1 - last > gap) gap = $1 - last; last = $1 }
    END { printf "%.0f ", gap * 1000 }' "$home/frames"
  sed -E 's/.*longest worker hold ([0-9.]+) ms, longest main wait ([0-9.]+) ms.*/\1 \2/' "$home/stats"
  rm -rf "$home"
}

med() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "load $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
for label in before after; do : >"$work/$label.window"; done
for ((i = 0; i < runs; i++)); do
  window_export "$before_build/cli/quillora" >>"$work/before.window"
  window_export "$build/cli/quillora" >>"$work/after.window"
done
for label in before after; do
  f=$work/$label.window
  echo "$label, in the window, $runs runs: longest frame gap $(cut -d' ' -f1 "$f" | tr '\n' ' ')ms;" \
    "longest worker hold $(cut -d' ' -f2 "$f" | tr '\n' ' ')ms; longest window wait $(cut -d' ' -f3 "$f" | tr '\n' ' ')ms"
done

# The essay's PDF: Preview on a 1 MB stored transcript, the program's whole run.
stored_transcript "$work/prefs.plist" 1
{ printf 'tap StickyDynamicButton\nwait 1\npress Essay\nwait 1\npress Preview\n'; for _ in $(seq 10); do printf 'wait 0\n'; done; } >"$work/essay.txt"
essay() {
  local home start
  home=$(mktemp -d -p "$work")
  mkdir -p "$home/Library/Preferences"
  cp "$work/prefs.plist" "$home/Library/Preferences/com.quillora.app.plist"
  start=$(now)
  "$1" --home "$home" --microphone silence run "$work/essay.txt" >/dev/null 2>&1
  printf '%.2f\n' "$(echo "$(now) - $start" | bc)"
  grep -qx didFinishNavigation "$home/Library/Logs/console.log" || echo "the essay's PDF was not made" >&2
  rm -rf "$home"
}
for ((i = 0; i < runs; i++)); do
  essay "$before_build/cli/quillora" >>"$work/before.essay"
  essay "$build/cli/quillora" >>"$work/after.essay"
done
echo "essay PDF, 1 MB transcript, median of $runs: $(med <"$work/before.essay") s before, $(med <"$work/after.essay") s after"
for mb in 1 3; do
  echo "before: $(KINDS=ideographs bench/recipe-export.sh "$before_build/cli/quillora" $mb)"
  echo "after:  $(KINDS=ideographs bench/recipe-export.sh "$build/cli/quillora" $mb)"
done
