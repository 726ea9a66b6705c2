#!/usr/bin/env bash
# What one unbroken word costs the analysis screen beside ordinary words of the same length, for
# this build and another in the same rounds: analysis_bench's word benchmarks (the Noun row's
# button text alone, and the whole screen built, laid out and drawn) run alternately ROUNDS times
# (3 unless given), the median processor time of each printed with the word's cost over the
# ordinary words'. Usage: bench/long-word.sh [BENCH [BEFORE]] (default
# build-bench/bench/analysis/analysis_bench); BEFORE is the same benchmark built from an earlier
# version.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${1:-build-bench/bench/analysis/analysis_bench}
before=${2:-}
rounds=${ROUNDS:-3}
[ -x "$bench" ] || { echo "no benchmark at $bench (run make bench)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

versions=(now)
[ -n "$before" ] && versions+=(before)
for ((round = 0; round < rounds; round++)); do
  for version in "${versions[@]}"; do
    program=$bench
    [ "$version" = before ] && program=$before
    # name,iterations,real_time,cpu_time,time_unit,...: the name and the processor time.
    "$program" --benchmark_filter='OneWord|OrdinaryWords' --benchmark_format=csv 2>/dev/null |
      awk -F, -v v="$version" '$1 ~ /^"BM_/ { gsub(/"/, "", $1); print v, $1, $4 }' >>"$work/times"
  done
done

echo "load $(cut -d' ' -f1-3 /proc/loadavg), $rounds rounds, median processor ms"
sort -k1,1 -k2,2 -k3,3g "$work/times" | awk '
  { key = $1 " " $2; times[key, ++count[key]] = $3 }
  END {
    for (key in count) {
      n = count[key]
      median[key] = n % 2 ? times[key, (n + 1) / 2] : (times[key, n / 2] + times[key, n / 2 + 1]) / 2
    }
    for (key in median) {
      split(key, part, " ")
      if (part[2] !~ /OneWord/) continue
      ordinary = part[1] " " part[2]
      sub(/OneWord/, "OrdinaryWords", ordinary)
      printf "%-7s %-30s %10.1f  ordinary %8.1f  ratio %6.2f\n", part[1], part[2], median[key],
             median[ordinary], median[key] / median[ordinary]
    }
  }' | sort -k1,1r -k2,2
