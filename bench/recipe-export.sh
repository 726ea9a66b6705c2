#!/usr/bin/env bash
# Time and peak memory of the recipe text's PDF export (the recipe text view's PDF button) for
# three texts of 9 MB: plain ASCII lines, words whose letters carry combining marks, and one row of
# flag emoji without a break; KINDS may name others: `ideographs` (lines of 40 drawn at random from
# the 20,480 of U+4E00 to U+9DFF) and `mixed` (3,000 lone combining marks, then words of 'A', of
# marks and of ideographs). Usage: bench/recipe-export.sh [PROGRAM] [MEGABYTES] (default
# build-bench/cli/quillora, a Release build; 9).
set -euo pipefail
program=${1:-build-bench/cli/quillora}
megabytes=${2:-9}
[ -x "$program" ] || { echo "no program at $program (make bench builds it)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A recipe text of KIND and SIZE bytes, the same bytes on every run.
recipe() {
  perl -e '
    my ($kind, $size) = @ARGV;
    srand(7);
    binmode STDOUT, ":utf8";
    my @words = qw(stir the flour into the milk and wait until it thickens then fold in two eggs);
    my @flags = qw(US FR DE JP GB IT ES CA BR IN CN KR MX SE NO FI DK NL BE CH);
    my ($n, $line) = (0, 0);
    while ($n < $size) {
      my $s;
      if ($kind eq "ascii") {
        $s = "Step " . ++$line . ": " . join(" ", map { $words[rand @words] } 1 .. 4 + int rand 11) . ".\n";
      } elsif ($kind eq "combining") {
        $s = join(" ", map {
          join("", map { chr(97 + int rand 26) . join("", map { chr(0x300 + int rand 0x70) } 1 .. 2 + int rand 11) }
               1 .. 2 + int rand 7)
        } 1 .. 3 + int rand 8) . "\n";
      } elsif ($kind eq "ideographs") {
        $s = join("", map { chr(0x4E00 + int rand 20480) } 1 .. 40) . "\n";
      } elsif ($kind eq "mixed") {
        $s = $n ? "" : join(" ", map { chr(0x300 + int rand 0x70) } 1 .. 3000) . "\n";
        $s .= join(" ", map {
          my $k = int rand 3, $len = 1 + int rand 11;
          $k == 0 ? "A" x $len : $k == 1 ? join("", map { chr(0x300 + int rand 0x70) } 0 .. $len % 5)
                  : join("", map { chr(0x4E00 + int rand 20480) } 1 .. $len)
        } 1 .. 5 + int rand 15) . "\n";
      } else {
        $s = join("", map { join("", map { chr(0x1F1E6 + ord($_) - 65) } split //, $flags[rand @flags]) } 1 .. 1000);
      }
      print $s;
      { use bytes; $n += length $s; }
    }
  ' "$1" "$2"
}

for kind in ${KINDS:-ascii combining flags}; do
  home="$work/$kind"
  mkdir -p "$home/Documents"
  recipe "$kind" $((megabytes << 20)) > "$home/Documents/datafile_recipe.dat"
  # The alert comes once the PDF is written; each `wait` line gives the export 30 more seconds.
  { printf 'open RecipeBookMarkViewC\ntap savepdf\n'; for _ in $(seq 10); do printf 'wait 0\n'; done
    printf 'alert "OK "\n'; } > "$work/$kind.txt"
  /usr/bin/time -v "$program" --home "$home" run "$work/$kind.txt" >/dev/null 2>"$work/$kind.time" ||
    { echo "$kind: the export failed"; cat "$work/$kind.time"; continue; }
  pdf=$(ls "$home/Documents/"*.pdf)
  printf '%-9s %5s MB  %s wall, %s s of CPU  %s MiB  PDF %s MB, %s pages\n' "$kind" \
    "$(( $(stat -c %s "$home/Documents/datafile_recipe.dat") >> 20 ))" \
    "$(awk -F': ' '/Elapsed/ {print $2}' "$work/$kind.time")" \
    "$(awk -F': ' '/User time|System time/ {t += $2} END {printf "%.0f", t}' "$work/$kind.time")" \
    "$(awk -F': ' '/Maximum resident/ {printf "%d", $2 / 1024}' "$work/$kind.time")" \
    "$(( $(stat -c %s "$pdf") >> 20 ))" "$(pdfinfo "$pdf" | awk '/^Pages/ {print $2}')"
done
