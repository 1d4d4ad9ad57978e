#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The CD drive service on a generated disc image: the time from a
# double-click on a track to its sound at a PulseAudio null sink, and the
# service's CPU while it plays, beside gst-play-1.0 playing the same image
# in the same run.
# Usage: bench/cd_play.sh [BUILD_DIR] [REPEATS] [SECONDS]   (default: build, 7, 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
repeats=${2:-7}
seconds=${3:-20}
cmake --build "$build" --target cd_bench mirova-cdaudio -j2 >/dev/null
dir=$(mktemp -d /tmp/mirova-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
source "$root/tests/e2e/lib.sh"
# Three tracks of a minute each, one tone apiece.
e2e_cd_image "$dir" 60:300 60:500 60:800
QT_QPA_PLATFORM=offscreen "$root/tests/support/with_pulse.sh" \
  "$build/bin/cd_bench" "$dir/disc.cue" "$build/bin/mirova-cdaudio" "$repeats" "$seconds"
