#!/usr/bin/env bash
# Smoke test of calpost-tool: every command writes a frame of the right
# size. Works in a new directory inside <temporary directory>, removed at the
# end.
#   calpost_tool_test.sh <calpost-tool> <temporary directory>
set -euo pipefail
tool="$1"
dir=$(mktemp -d "$2/calpost_tool.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"

bytes=$((40 * 30 * 2))
head -c "$bytes" /dev/zero > dark.raw
# A frame with structure: the bytes of a repeating counter.
seq 0 $((bytes - 1)) | LC_ALL=C awk '{ printf "%c", ($1 * 7) % 251 }' > bright.raw
cp bright.raw image.raw

expect_size() {
  local size
  size=$(stat -c %s "$1")
  if [ "$size" -ne "$bytes" ]; then echo "$1 has $size bytes, expected $bytes"; exit 1; fi
}

"$tool" calibration 40 30 dark.raw bright.raw image.raw cal.raw && expect_size cal.raw
"$tool" bpmap1 40 30 dark.raw bright.raw 0.5 0.9 m1.raw && expect_size m1.raw
"$tool" bpmap2 40 30 dark.raw bright.raw 0.1 0.1 m2.raw && expect_size m2.raw
"$tool" bpmap 40 30 image.raw 3 1 1.0 m.raw && expect_size m.raw
"$tool" postprc 40 30 image.raw out.raw MRL=3 lcon=0 && expect_size out.raw

echo "calpost-tool behaves"
