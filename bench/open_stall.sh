#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The longest stall of the window while it opens a large variable-rate MP3
# without a length header (a 10-minute file), read from a slowed disk: the
# slow-read library (bench/slow_read.cpp) is preloaded into the measuring
# program and makes each read of that one file take 200 us plus 1 s per
# 4 MB; every other file reads at full speed.
# Usage: bench/open_stall.sh [BUILD_DIR] [KB_PER_SECOND]   (default: build, 4096)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
kbps=${2:-4096}
cmake --build "$build" --target open_stall_bench mirova_slow_read -j2 >/dev/null
dir=$(mktemp -d /tmp/mirova-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
ffmpeg -v error -f lavfi -i sine=duration=1 "$dir/warm.mp3"
ffmpeg -v error -f lavfi -i "anoisesrc=d=600:c=pink:a=0.2" -f lavfi -i "sine=f=300:d=600" -filter_complex "[0][1]amix" \
  -ac 2 -q:a 0 -write_xing 0 "$dir/long.mp3"
echo "file: $(du -h "$dir/long.mp3" | cut -f1) variable-rate MP3 without a length header, read at $kbps KB/s"
MIROVA_SLOW_PATH=long.mp3 MIROVA_SLOW_KBPS=$kbps QT_QPA_PLATFORM=offscreen \
  "$root/tests/support/with_pulse.sh" env LD_PRELOAD="$build/bin/libmirova_slow_read.so" \
  "$build/bin/open_stall_bench" "$dir/warm.mp3" "$dir/long.mp3" 15
