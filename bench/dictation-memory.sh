#!/usr/bin/env bash
# Memory of long dictation on the release build: the speech-with-pauses takes (a minute, then half
# an hour in one wait, with real recognition on the virtual clock) print their peak heap and peak
# resident size, and a half hour of silent restarts its heap growth. Usage:
# bench/dictation-memory.sh [BUILD] (default build-bench, as `make bench` configures it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target dictation_tests >/dev/null
QUILLORA_BUNDLE=$PWD/resources QUILLORA_SOURCE=$PWD "$build/tests/dictation/dictation_tests" \
  --gtest_filter='MainPausesTest.LongRunHalf*:*HalfHourOfSilence*' | grep -E '^\[ (pauses|silence) \]|OK \]|FAILED'
