#!/usr/bin/env bash
# A quit while recognition lags: the program dictates three librivox clips of pocketsphinx-testdata
# (0870, 0880, 0890, joined into one 15.4 s file) on the real clock, pinned to one core beside busy
# loops, and gets SIGTERM some seconds into the speech. Prints, per try, the seconds from the signal
# to the program's end and the words saved; with UNHEARD=1, also the seconds the console said went
# unheard. Usage: bench/lagging-quit.sh [PROGRAMS] [LOOPS] [SECONDS...] (default
# build-bench/cli/quillora, 20 busy loops, SIGTERM at 8 and 52 s); TRIES (default 10), CORE (7).
# PROGRAMS may name several builds, colon-separated: each round of tries runs every moment with
# each of them in turn, one at a time, so that the figures of a change and of what it changes come
# from the same minutes of the machine, and a run cut short still has some of each.
set -euo pipefail
IFS=: read -r -a programs <<<"${1:-build-bench/cli/quillora}"
loops=${2:-20}
shift 2 || true
at=("$@")
[ ${#at[@]} -gt 0 ] || at=(8 52)
tries=${TRIES:-10}
core=${CORE:-7}
for program in "${programs[@]}"; do
  [ -x "$program" ] || { echo "no program at $program (make bench builds it)" >&2; exit 1; }
done
clips=/usr/share/pocketsphinx/test/data/librivox
[ -f "$clips/sense_and_sensibility_01_austen_64kb-0870.wav" ] || {
  echo "pocketsphinx-testdata is needed" >&2
  exit 1
}
work=$(mktemp -d)
busy=()
homes=0
cleanup() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Joined as sox would join them (same rate and format), without needing it.
python3 - "$work/speech.wav" "$clips"/sense_and_sensibility_01_austen_64kb-08{7,8,9}0.wav <<'EOF'
import sys, wave
out = None
for name in sys.argv[2:]:
    with wave.open(name) as clip:
        if out is None:
            out = wave.open(sys.argv[1], "wb")
            out.setparams(clip.getparams())
        out.writeframes(clip.readframes(clip.getnframes()))
out.close()
EOF
printf 'tap recordButton\nwait 60\n' >"$work/script"

for ((i = 0; i < loops; i++)); do
  taskset -c "$core" sh -c 'while :; do :; done' &
  busy+=($!)
done

# The saved transcript, from the preferences the program wrote at its end.
saved() {
  python3 - "$1" <<'EOF'
import glob, plistlib, sys
for path in glob.glob(sys.argv[1] + "/Library/Preferences/*.plist"):
    with open(path, "rb") as f:
        text = plistlib.load(f).get("saveclipBoardText")
    if text is not None:
        print(text.strip())
        break
EOF
}

echo "# $loops busy loops on core $core beside the program; SIGTERM N s after the record tap"
echo "# at   try  exit_s  words  unheard_s  saved$([ ${#programs[@]} -gt 1 ] && echo "  (program)")"
for ((try = 1; try <= tries; try++)); do
  for when in "${at[@]}"; do
  for program in "${programs[@]}"; do
    home="$work/home-$((++homes))"
    mkdir -p "$home"
    taskset -c "$core" "$program" run "$work/script" --home "$home" --realtime \
      --microphone "$work/speech.wav" >/dev/null 2>&1 &
    pid=$!
    # The speech begins with the record tap, once the model has loaded: count from its console line.
    for ((w = 0; w < 600; w++)); do
      grep -q "Timer running" "$home/Library/Logs/console.log" 2>/dev/null && break
      sleep 0.1
    done
    sleep "$when"
    start=$(date +%s.%N)
    kill -TERM "$pid"
    ended=no
    for ((w = 0; w < 300; w++)); do
      kill -0 "$pid" 2>/dev/null || { ended=yes; break; }
      sleep 0.1
    done
    end=$(date +%s.%N)
    if [ "$ended" = no ]; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
    text=$(saved "$home")
    words=$(wc -w <<<"$text")
    unheard=$(grep -o 'recognition [0-9.]* s of audio' "$home/Library/Logs/console.log" 2>/dev/null |
      grep -o '[0-9.]*' | tail -1 || true)
    printf '%4s  %3d  %6.2f  %5d  %9s  %s%s\n' "$when" "$try" "$(echo "$end - $start" | bc)" "$words" \
      "${unheard:--}" "$([ "$ended" = yes ] && echo "${text:0:60}" || echo "KILLED after 30 s")" \
      "$([ ${#programs[@]} -gt 1 ] && echo "  ($program)")"
  done
  done
done
