#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The time from the VCD and CD buttons to the filled list on generated disc
# images, each image's probe still to run and already run (image_bench.cpp),
# beside the same program built from an earlier revision, in the same run.
# Usage: bench/image_open.sh [BUILD_DIR] [ROUNDS] [EARLIER_REVISION]   (default: build, 15, none)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-15}
earlier=${3:-}
cmake --build "$build" --target image_bench mirova-cdaudio -j2 >/dev/null
dir=$(mktemp -d /tmp/mirova-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir -m 700 "$dir/run"
export XDG_RUNTIME_DIR=$dir/run QT_QPA_PLATFORM=offscreen
source "$root/tests/e2e/lib.sh"
e2e_cd_image "$dir" 20:300 20:500 20:800
ffmpeg -v error -f lavfi -i color=c=red:size=352x288:rate=25:duration=5 -f lavfi -i sine=duration=5 \
  -target pal-vcd "$dir/seq.mpg"
vcdimager -q -t vcd2 -c "$dir/vcd.cue" -b "$dir/vcd.bin" "$dir/seq.mpg" >/dev/null
if [[ -n "$earlier" ]]; then
  # The earlier tree with this benchmark added.
  mkdir "$dir/earlier"
  git -C "$root" archive "$earlier" | tar -x -C "$dir/earlier"
  cp "$root/bench/image_bench.cpp" "$dir/earlier/bench/"
  printf 'add_executable(image_bench image_bench.cpp)\ntarget_link_libraries(image_bench PRIVATE mirova_fakes mirova_app)\n' \
    >>"$dir/earlier/bench/CMakeLists.txt"
  cmake -S "$dir/earlier" -B "$dir/earlier/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVA_TESTS=ON >/dev/null
  cmake --build "$dir/earlier/build" --target image_bench mirova-cdaudio -j2 >/dev/null
fi
run() { "$1/bin/image_bench" "$dir/vcd.cue" "$dir/disc.cue" "$1/bin/mirova-cdaudio" "$rounds"; }
for pass in 1 2; do
  echo "== pass $pass"
  [[ -z "$earlier" ]] || run "$dir/earlier/build"
  run "$build"
done
