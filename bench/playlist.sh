#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The playlist window opening on a folder of 10,000 files and listing them,
# a pattern key filtering that folder, and the hand-over of the longest list
# the main window can count (32,766 entries, 32,767 rows), on a private X
# server; beside `ls -f | wc -l` and `ls | wc -l` on the same folder in the
# same run.
# Usage: bench/playlist.sh [BUILD_DIR] [REPEATS]   (default: build, 7)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
repeats=${2:-7}
cmake --build "$build" --target playlist_bench -j2 >/dev/null
dir=$(mktemp -d /tmp/mirova-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
(cd "$dir" && seq 10000 | awk '{ split("mp3 wav mid avi", e, " "); printf "track%05d.%s\n", $1, e[$1 % 4 + 1] }' |
  xargs touch)

# Median wall time in ms of a shell command, over $repeats runs.
peer() {
  local t0 t1 out=()
  for _ in $(seq "$repeats"); do
    t0=$(date +%s%N)
    bash -c "$1" >/dev/null
    t1=$(date +%s%N)
    out+=("$(((t1 - t0) / 1000))")
  done
  printf '%s\n' "${out[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1000 }'
}

echo "folder: $dir ($(ls -f "$dir" | grep -vc '^\.\.\?$') files)"
QT_QPA_PLATFORM=xcb "$root/tests/support/with_xvfb.sh" "$build/bin/playlist_bench" "$dir" "$repeats" |
  tee "$dir/.result"
lsf=$(peer "ls -f '$dir' | wc -l")
ls=$(peer "ls '$dir' | wc -l")
echo "peer ls -f | wc -l (ms, median): $lsf"
echo "peer ls | wc -l    (ms, median): $ls"
open=$(sed -n 's/^open window + list (ms, median of [0-9]*): \([0-9.]*\).*/\1/p' "$dir/.result")
awk -v o="$open" -v a="$lsf" -v b="$ls" \
  'BEGIN { printf "ratio open window / ls -f: %.1f   open window / ls: %.1f\n", o / a, o / b }'
