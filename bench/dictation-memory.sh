#!/usr/bin/env bash
# Memory of long dictation on the release build.
#
# bench/dictation-memory.sh [BUILD] (default build-bench, as `make bench` configures it): the
# speech-with-pauses takes (a minute, then half an hour in one wait, with real recognition on the
# virtual clock) print their peak heap and peak resident size, and a half hour of silent restarts
# its heap growth.
#
# bench/dictation-memory.sh --against REF [BUILD]: the program's peak resident size (/usr/bin/time's
# maximum) for 0, 150, 300 and 450 scripted phrases and for a dense half hour of real speech on the
# virtual clock, for this tree and for REF (a commit, main for instance) built beside it in a git
# worktree, side by side in one run. PHRASES="0 150" and HALF_HOUR=0 shorten it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --against ]; then
  build=${1:-build-bench}
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON >/dev/null
  cmake --build "$build" -j "${JOBS:-$(nproc)}" --target dictation_tests >/dev/null
  QUILLORA_BUNDLE=$PWD/resources QUILLORA_SOURCE=$PWD "$build/tests/dictation/dictation_tests" \
    --gtest_filter='MainPausesTest.LongRunHalf*:*HalfHourOfSilence*' | grep -E '^\[ (pauses|silence) \]|OK \]|FAILED'
  exit 0
fi

ref=$2
build=${3:-build-bench}
jobs=${JOBS:-3}
work=$(mktemp -d)
before=$work/before
trap 'git worktree remove --force "$before" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
git worktree add --detach "$before" "$ref" >/dev/null 2>&1
for tree in "$PWD" "$before"; do
  out=$build
  [ "$tree" = "$before" ] && out=$work/build
  cmake -S "$tree" -B "$out" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$out" -j "$jobs" --target quillora >/dev/null
done
after_program=$build/cli/quillora
before_program=$work/build/cli/quillora

# Maximum resident size in MiB of one run of PROGRAM on SCRIPT (extra arguments before `run`).
peak() {
  local program=$1 script=$2 home
  shift 2
  home=$(mktemp -d -p "$work")
  /usr/bin/time -v "$program" --home "$home" "$@" run "$script" >/dev/null 2>"$home.time" || true
  awk '/Maximum resident set size/ {printf "%.1f", $NF / 1024}' "$home.time"
  rm -rf "$home"
}

for n in ${PHRASES:-0 150 300 450}; do
  script=$work/phrases-$n.txt
  { printf 'scripted\nmicrophone silence\ntap recordButton\n'
    for ((i = 1; i <= n; i++)); do
      printf 'wait 1\nfinal she opened the window and looked at the garden %d\n' "$i"
    done; } >"$script"
  echo "$n scripted phrases: $(peak "$before_program" "$script") MiB before, $(peak "$after_program" "$script") MiB after"
done

if [ "${HALF_HOUR:-1}" != 0 ]; then
  # The test clips of the speech library, joined again and again into 31 minutes of dense speech.
  sound=$work/dense.wav
  python3 - "$sound" /usr/share/pocketsphinx/test/data/librivox/*.wav <<'EOF'
import sys, wave
clips = []
for name in sys.argv[2:]:
    with wave.open(name) as w:
        params = w.getparams()
        clips.append(w.readframes(w.getnframes()))
with wave.open(sys.argv[1], "wb") as out:
    out.setparams(params)
    frames = 0
    while frames < 31 * 60 * params.framerate:
        for clip in clips:
            out.writeframes(clip)
            frames += len(clip) // (params.sampwidth * params.nchannels)
EOF
  printf 'tap recordButton\nwait 1900\n' >"$work/half-hour.txt"
  echo "dense half hour: $(peak "$before_program" "$work/half-hour.txt" --microphone "$sound") MiB before," \
    "$(peak "$after_program" "$work/half-hour.txt" --microphone "$sound") MiB after"
fi
