#!/usr/bin/env bash
# A 50 MB list of 20,000 entries opened and saved by a script: the list screen opened and a row
# swiped away, which writes the file. Prints the wall time (s) and the largest resident size (KiB)
# of the whole program, from /usr/bin/time, beside the same program run on the same folder without
# opening the list (its start-up, the speech model loading as the first screen shows), for each
# program given, alternating between them ROUNDS times (3 unless set) so that a busy machine weighs
# on each alike. Usage: bench/large-list.sh [PROGRAM...] (default build-bench/cli/quillora).
set -euo pipefail
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(build-bench/cli/quillora)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Entries of about 2,600 bytes of everyday words, a few with what the file must escape.
python3 - "$work/notes.txt" <<'EOF'
import random, sys
from xml.sax.saxutils import escape
words = ("the meeting started late because children were running around kitchen we bought apples "
         "milk eggs bread tomorrow call doctor about results she wrote letters to friends while "
         "traveling through mountains and rivers ünïcödé 📌 fish & chips <b>").split()
rng = random.Random(42)
with open(sys.argv[1], "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" '
              '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n<plist version="1.0">\n<array>\n')
    for n in range(20000):
        text = f"Note {n}:"
        while len(text.encode()) < 2600:
            text += " " + rng.choice(words)
        out.write("\t<string>" + escape(text) + "</string>\n")
    out.write("</array>\n</plist>\n")
EOF
printf 'scripted\n' > "$work/start.txt"
printf 'scripted\nopen VCTV\nswipe table 0 delete.jpg\n' > "$work/save.txt"
echo "list file: $(du -m "$work/notes.txt" | cut -f1) MB"

run() { # PROGRAM SCRIPT: "seconds KiB"
  rm -rf "$work/home" && mkdir -p "$work/home/Documents" && cp "$work/notes.txt" "$work/home/Documents/"
  { /usr/bin/time -f '%e %M' "$1" --home "$work/home" run "$2" >/dev/null; } 2>&1 | tail -1
}
for round in $(seq "${ROUNDS:-3}"); do
  for program in "${programs[@]}"; do
    start=$(run "$program" "$work/start.txt")
    save=$(run "$program" "$work/save.txt")
    entries=$(grep -c '<string>' "$work/home/Documents/notes.txt")
    printf 'round %s  %s\n  start-up only   %6s s %7s KiB\n  open and save   %6s s %7s KiB  (%s entries left, console.log %s MB)\n' \
      "$round" "$program" ${start% *} ${start#* } ${save% *} ${save#* } "$entries" \
      "$(du -m "$work/home/Library/Logs/console.log" | cut -f1)"
  done
done
