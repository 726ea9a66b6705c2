#!/usr/bin/env bash
# Small binary property lists whose references unfold into far more than they hold, given to the
# whole program at start as its preferences and opened as the main list: an array holding itself
# K times (K = 100,000, 300,000, 1,000,000: files of 100 KB, 300 KB, 1 MB), and one string of
# 300,000 or 1,000,000 letters referred to 1,000 times. Prints, for each program given, its largest
# resident size (KiB) and processor time (s) from /usr/bin/time beside a start on an empty data
# folder, alternating between the programs ROUNDS times (1 unless set). Usage:
# bench/unfolding-lists.sh [PROGRAM...] (default build-bench/cli/quillora).
set -euo pipefail
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(build-bench/cli/quillora)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys
folder = sys.argv[1]
def trailer(table, count, offset_size, top=0):
    return b'\0' * 6 + bytes([offset_size, 1]) + count.to_bytes(8, 'big') + top.to_bytes(8, 'big') + table.to_bytes(8, 'big')
def itself(k):
    body = b'bplist00' + bytes([0xAF, 0x12]) + k.to_bytes(4, 'big') + b'\0' * k
    table = len(body)
    return body + bytes([8]) + trailer(table, 1, 1)
def shared(letters, refs):
    body = b'bplist00'
    array_at = len(body); body += bytes([0xAF, 0x12]) + refs.to_bytes(4, 'big') + b'\1' * refs
    string_at = len(body); body += bytes([0x5F, 0x12]) + letters.to_bytes(4, 'big') + b'x' * letters
    table = len(body)
    return body + array_at.to_bytes(4, 'big') + string_at.to_bytes(4, 'big') + trailer(table, 2, 4)
for name, data in [('itself-100k', itself(100_000)), ('itself-300k', itself(300_000)),
                   ('itself-1m', itself(1_000_000)), ('string-300k-x1000', shared(300_000, 1000)),
                   ('string-1m-x1000', shared(1_000_000, 1000))]:
    open(f'{folder}/{name}.plist', 'wb').write(data)
PY
printf 'scripted\n' > "$work/start.txt"
printf 'scripted\nopen VCTV\n' > "$work/open.txt"

run() { # PROGRAM FILE AS: "KiB seconds"
  rm -rf "$work/home" && mkdir -p "$work/home/Documents" "$work/home/Library/Preferences"
  local script="$work/start.txt"
  case "$3" in
    preferences) cp "$2" "$work/home/Library/Preferences/com.quillora.app.plist" ;;
    list) cp "$2" "$work/home/Documents/notes.txt"; script="$work/open.txt" ;;
  esac
  { /usr/bin/time -f '%M %U %S' "$1" --home "$work/home" run "$script" >/dev/null; } 2>&1 | tail -1 |
    awk '{printf "%8d KiB %6.2f s", $1, $2 + $3}'
}
for round in $(seq "${ROUNDS:-1}"); do
  for program in "${programs[@]}"; do
    echo "round $round  $program"
    printf '  %-22s %s\n' "empty data folder" "$(run "$program" none none)"
    for file in "$work"/*.plist; do
      for as in preferences list; do
        printf '  %-22s %s  as the %s\n' "$(basename "$file" .plist)" "$(run "$program" "$file" "$as")" "$as"
      done
    done
  done
done
