#!/usr/bin/env bash
# What one very long word costs a template's Preview, beside ordinary text of the same length: the
# For Rent Flyer's e-mail field (four narrow tear-off strips) and the essay's heading each holding
# 140,000 letters without a space, the flyer with 140 KB of transcript, and the e-mail field holding
# 60,000 and 70,000 "é". Each case runs the program headless once per round (ROUNDS, 3 unless
# given); the medians of processor time and peak resident size are printed, and whether the PDF
# holds the word's letters. Usage: bench/long-words.sh [PROGRAM [BEFORE]] (default
# build-bench/cli/quillora); BEFORE, another build, runs in the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build-bench/cli/quillora}
before=${2:-}
rounds=${ROUNDS:-3}
[ -x "$program" ] || { echo "no program at $program (make bench builds it)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLORA_BUNDLE=${QUILLORA_BUNDLE:-$PWD/resources}
unset DISPLAY WAYLAND_DISPLAY

# COUNT letters drawn from LETTERS, the same on every run.
word() {
  perl -CO -e 'my ($n, $set) = @ARGV; utf8::decode($set); my @l = split //, $set; srand(3);
               print join("", map { $l[rand @l] } 1 .. $n)' "$1" "$2"
}
# A data folder whose stored transcript is $2 (may be empty).
home_with() {
  rm -rf "$1"
  mkdir -p "$1/Library/Preferences" "$1/Documents"
  { printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict>\n'
    printf '\t<key>saveclipBoardText</key>\n\t<string>%s</string>\n</dict>\n</plist>\n' "$2"; } \
    > "$1/Library/Preferences/com.quillora.app.plist"
}
# The print starts a moment after the page has loaded; each `wait 0` then gives it, on its worker,
# 30 more seconds.
waits() { printf 'wait 1\n'; for _ in $(seq 12); do printf 'wait 0\n'; done; }

letters=$(word 140000 abcdefghijklmnopqrstuvwxyz)
transcript=$(perl -e 'srand(5); my @w = qw(the rent covers water heat and parking close to the park and shops);
                      my $s = ""; $s .= $w[rand @w] . " " while length($s) < 140000; print $s')
cases=(flyer-email essay-heading flyer-transcript email-60k-e email-70k-e)
script() { # CASE -> the script, the PDF's name, the text whose letters the PDF must hold
  case $1 in
  flyer-email) printf 'tap StickyDynamicButton\nwait 1\npress For Rent Flyer\nedit "Enter Email" %s\npress Preview\n' "$letters" ;;
  essay-heading) printf 'tap StickyDynamicButton\nwait 1\npress Essay\nedit " Enter Essay Heading" %s\npress Preview\n' "$letters" ;;
  flyer-transcript) printf 'tap StickyDynamicButton\nwait 1\npress For Rent Flyer\npress Preview\n' ;;
  email-60k-e) printf 'tap StickyDynamicButton\nwait 1\npress For Rent Flyer\nedit "Enter Email" %s\npress Preview\n' "$(word 60000 é)" ;;
  email-70k-e) printf 'tap StickyDynamicButton\nwait 1\npress For Rent Flyer\nedit "Enter Email" %s\npress Preview\n' "$(word 70000 é)" ;;
  esac
  waits
}
pdf_of() { case $1 in essay-heading) echo MyPDFDocumentEssay.pdf ;; *) echo MyPDFDocRentFly.pdf ;; esac; }
for c in "${cases[@]}"; do script "$c" > "$work/$c.txt"; done

builds=("now:$program")
[ -n "$before" ] && builds+=("before:$before")
for ((r = 0; r < rounds; r++)); do
  for c in "${cases[@]}"; do
    for b in "${builds[@]}"; do
      label=${b%%:*} prog=${b#*:} home="$work/home-$label-$c"
      if [ "$c" = flyer-transcript ]; then home_with "$home" "$transcript"; else home_with "$home" ""; fi
      /usr/bin/time -o "$work/time" -f '%U %S %M' "$prog" --home "$home" run "$work/$c.txt" \
        >"$work/out" 2>&1 || true
      pdf="$home/tmp/$(pdf_of "$c")"
      made=no
      [ -s "$pdf" ] && made=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages/ {print $2 " pages"}')
      tail -n 1 "$work/time" | awk -v m="$made" '{ printf "%.2f %d %s\n", $1 + $2, $3 / 1024, m }' \
        >> "$work/$label-$c"
    done
  done
done
median() { sort -n "$1" | awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-17s %-7s %s\n' case build 'CPU s, peak MiB, PDF (median of rounds)'
for c in "${cases[@]}"; do
  for b in "${builds[@]}"; do
    label=${b%%:*}
    printf '%-17s %-7s %s\n' "$c" "$label" "$(median "$work/$label-$c")"
  done
done
