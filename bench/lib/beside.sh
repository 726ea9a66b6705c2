# Sourced by the scripts that measure this tree beside REF in one run: REF is checked out in a
# git worktree of its own and both are built (Release, the program only); `$work` is a scratch
# folder, removed with the worktree and any background job when the script ends. Sets `ref`,
# `build` (this tree's build folder, default build-bench), `before_build` and `work`; `beside_usage`
# names the script's usage first. JOBS=3 build jobs.
ref=${1:?usage: $beside_usage}
build=${2:-build-bench}
jobs=${JOBS:-3}
work=$(mktemp -d)
before=$work/before
before_build=$work/build
trap 'kill $(jobs -p) 2>/dev/null || true; git worktree remove --force "$before" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
git worktree add --detach "$before" "$ref" >/dev/null 2>&1
for tree in "$PWD" "$before"; do
  out=$build
  [ "$tree" = "$before" ] && out=$before_build
  cmake -S "$tree" -B "$out" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$out" -j "$jobs" --target quillora >/dev/null
done

# The preferences of a person whose stored transcript is MEGABYTES of prose, written to FILE, to
# copy into a run's data folder.
stored_transcript() {
  python3 - "$1" "$2" <<'PY'
import sys
line = "She opened the window and looked at the garden, and the garden looked back.\n"
with open(sys.argv[1], "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>'
              "<key>saveclipBoardText</key><string>")
    out.write(line * ((int(sys.argv[2]) << 20) // len(line) + 1))
    out.write("</string></dict></plist>\n")
PY
}
