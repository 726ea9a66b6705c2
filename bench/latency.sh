#!/usr/bin/env bash
# How long speech takes to show, on the real clock, beside the engine's own tool on the same sound:
# the screen and engine latencies of dictation_bench (the bundle's recording, three phrases a take),
# then pocketsphinx_continuous hearing the same three phrases from a pipe paced in real time,
# 1024 frames at a time as our microphone gives them (it prints a phrase's text once the phrase
# has ended; it shows nothing while one is spoken). Word times are the recording's own, aligned
# by a fresh decoder (pocketsphinx_continuous -time yes on the recording alone). Usage:
# bench/latency.sh [BUILD] (default build-bench); ROUNDS paced runs of the tool (7 unless given).
# BEFORE=path/to/an/earlier/dictation_bench runs that one too, alternating with this build's
# (PAIRS times each, 2 unless given), for a paired comparison in one run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
rounds=${ROUNDS:-7}
command -v pocketsphinx_continuous >/dev/null || apt-get install -y pocketsphinx >/dev/null
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target dictation_bench >/dev/null

latency() {
  QUILLORA_BUNDLE=$PWD/resources "$1" --benchmark_filter='ScreenLatency|EngineLatency' \
    --benchmark_counters_tabular=true 2>/dev/null | grep -E 'Latency|Benchmark'
}
for pair in $(seq "${PAIRS:-$([ -n "${BEFORE:-}" ] && echo 2 || echo 1)}"); do
  echo "== dictation_bench of $build (the screen, then the engine alone)"
  latency "$build/bench/dictation/dictation_bench"
  if [ -n "${BEFORE:-}" ]; then
    echo "== dictation_bench of $BEFORE"
    latency "$BEFORE"
  fi
done

echo "== pocketsphinx_continuous, paced in real time, $rounds runs of three phrases"
python3 - "$PWD/resources/demo.wav" "$rounds" <<'EOF'
import subprocess, sys, threading, time, wave

demo, rounds = sys.argv[1], int(sys.argv[2])
with wave.open(demo) as w:
    assert w.getframerate() == 16000 and w.getnchannels() == 1 and w.getsampwidth() == 2
    phrase = w.readframes(w.getnframes())
rate, pause, phrases = 16000, 2.0, 3
phrase_every = len(phrase) / 2 / rate + pause
sound = (phrase + b"\0" * int(pause * rate) * 2) * phrases

# Where the words lie: the tool's own alignment of the recording alone, by a fresh decoder.
out = subprocess.run(["pocketsphinx_continuous", "-infile", demo, "-time", "yes", "-logfn", "/dev/null"],
                     capture_output=True, text=True).stdout.split("\n")
def timed(fields):
    try:
        return len(fields) == 4 and float(fields[1]) >= 0 and not fields[0].startswith(("<", "["))
    except ValueError:
        return False
words = [l.split() for l in out if timed(l.split())]
first_word, last_end = float(words[0][1]), float(words[-1][2])
print(f"words of the recording: first starts at {first_word:.2f} s, last ends at {last_end:.2f} s")

firsts, laters = [], []
for _ in range(rounds):
    tool = subprocess.Popen(["stdbuf", "-oL", "pocketsphinx_continuous", "-infile", "/dev/stdin", "-logfn", "/dev/null"],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=False)
    time.sleep(2.0)  # the model loads before the sound starts, as ours does before its button
    start = time.monotonic()
    def feed():
        chunk = 1024 * 2
        for at in range(0, len(sound), chunk):
            # A chunk exists once its last frame has been heard, as our microphone's buffers do.
            due = start + min(at + chunk, len(sound)) / 2 / rate
            time.sleep(max(0.0, due - time.monotonic()))
            tool.stdin.write(sound[at:at + chunk])
            tool.stdin.flush()
        tool.stdin.close()
    feeder = threading.Thread(target=feed)
    feeder.start()
    shown = []
    for line in tool.stdout:
        if line.strip():
            shown.append(time.monotonic() - start)
    feeder.join()
    tool.wait()
    for k, at in enumerate(shown[:phrases]):
        (firsts if k == 0 else laters).append(at - k * phrase_every - last_end)

def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * (len(values) - 1) + 0.5))] if values else float("nan")
for name, values in (("first", firsts), ("later", laters)):
    print(f"{name} phrase, end to text: median {1000 * pct(values, 0.5):.0f} ms, "
          f"p95 {1000 * pct(values, 0.95):.0f} ms ({len(values)} phrases)")
EOF
