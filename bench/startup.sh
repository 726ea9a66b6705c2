#!/usr/bin/env bash
# What the whole program costs to start, beside the engine's own tool and a browser-engine PDF
# writer: each pair of commands run alternately ROUNDS times (7 unless given), the median of the
# wall time and of the peak resident size printed for each (`/usr/bin/time -f '%e %M'`). Usage:
# bench/startup.sh [PROGRAM [BEFORE]] (default build-bench/cli/quillora); BEFORE, another build
# of the program, is measured in the same rounds. Installs its peers (pocketsphinx,
# wkhtmltopdf) with apt-get when they are missing; they are no part of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build-bench/cli/quillora}
before=${2:-}
rounds=${ROUNDS:-7}
[ -x "$program" ] || { echo "no program at $program (run make bench)" >&2; exit 1; }
for tool in pocketsphinx_continuous:pocketsphinx wkhtmltopdf:wkhtmltopdf /usr/bin/time:time; do
  command -v "${tool%%:*}" >/dev/null || apt-get install -y "${tool##*:}" >/dev/null
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLORA_BUNDLE=${QUILLORA_BUNDLE:-$PWD/resources}

paragraph="Dictation turns speech into text while it is spoken, and this paragraph stands for what a \
person said before opening the essay template: a few sentences of plain words, long enough to wrap \
over several lines of the printed page and to be justified at both of its margins."

# A data folder whose stored transcript is the paragraph.
fresh_home() {
  rm -rf "$1"
  mkdir -p "$1/Library/Preferences"
  cat > "$1/Library/Preferences/com.quillora.app.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>saveclipBoardText</key>
	<string>$paragraph</string>
</dict>
</plist>
EOF
}

printf 'tap StickyDynamicButton\npress Essay\npress Preview\nwait 1\n' > "$work/essay.txt"
printf 'show\n' > "$work/show.txt"
printf 'tap recordButton\nwait 0.3\ntap recordButton\nwait 1\n' > "$work/record.txt"
# The essay page filled as the form fills it, for the peer.
mkdir -p "$work/page"
cp resources/quillora-templates.css "$work/page/"
sed -e "s|#ESSAYBODY#|<p>$paragraph</p>|" -e 's|#PAGEHEADING#|Essay|' -e 's|#SUBHEADING#|Subheading|' \
  -e 's|#INSTRUCTORNAME#|Instructor Name|' -e 's|#[a-z][a-zA-Z]*#||g' resources/essay.html > "$work/page/essay.html"
# 0.3 s of silence at the model's rate, for the engine's tool.
head -c 9600 /dev/zero > "$work/silence.raw"

# Runs one command, appending "seconds kilobytes processor-seconds" to the file named by $1.
measure() {
  local out=$1
  shift
  /usr/bin/time -o "$work/time" -f '%e %M %U %S' "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  tail -n 1 "$work/time" | awk '{ print $1, $2, $3 + $4 }' >> "$out"
}
column() { # the median of column $2 over the rounds
  cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
median() { # the median time, processor time and peak resident size, each over the rounds
  printf '%.3f s (%.2f s processor), %.0f MiB' "$(column "$1" 1)" "$(column "$1" 3)" \
    "$(awk -v k="$(column "$1" 2)" 'BEGIN { print k / 1024 }')"
}

builds=("now:$program")
[ -n "$before" ] && builds+=("before:$before")

unset DISPLAY WAYLAND_DISPLAY # headless: the program runs its script, not its window
run_program() { # NAME PROGRAM SCRIPT [OPTIONS...]
  local name=$1 prog=$2 script=$3
  shift 3
  fresh_home "$work/home-$name"
  measure "$work/$name" "$prog" --home "$work/home-$name" "$@" run "$script"
}

for ((r = 0; r < rounds; r++)); do
  for b in "${builds[@]}"; do
    label=${b%%:*} prog=${b#*:}
    run_program "essay-$label" "$prog" "$work/essay.txt"
    run_program "show-$label" "$prog" "$work/show.txt"
    run_program "record-$label" "$prog" "$work/record.txt" --microphone silence
  done
  measure "$work/essay-peer" wkhtmltopdf -q --enable-local-file-access "$work/page/essay.html" "$work/page/essay.pdf"
  measure "$work/record-peer" pocketsphinx_continuous -infile "$work/silence.raw" -logfn /dev/null
done

# The median over rounds of this build's time over the peer's in the same round.
ratio() {
  paste -d' ' "$1" "$2" | awk '{ print $1 / $4 }' | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'
}
row() { # TITLE FILE-STEM PEER-DESCRIPTION
  local line="| $1 |"
  for b in "${builds[@]}"; do
    line+=" ${b%%:*}: $(median "$work/$2-${b%%:*}")"
    [ -f "$work/$2-peer" ] && line+=" ($(ratio "$work/$2-${b%%:*}" "$work/$2-peer")x)"
    line+=" |"
  done
  [ -f "$work/$2-peer" ] && line+=" $3: $(median "$work/$2-peer") |"
  echo "$line"
}
echo "medians of $rounds alternated rounds, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
row "essay PDF" essay "wkhtmltopdf"
row "start, record, stop (microphone silence)" record "pocketsphinx_continuous"
row "headless start and show" show ""
