#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU of the video path: mirova playing a 60-second 352x240 MPEG-1 file with
# its video window at the picture's own size and at 1280x720, beside
# gst-play-1.0 (ximagesink) and mpv (--vo=x11) playing it in the same run on
# the same private X server and PulseAudio null sink. Also the player's CPU
# and wake-ups while idle and while a video stands paused.
# Usage: bench/video_cpu.sh [BUILD_DIR]   (default: build)
#   BENCH_SECONDS=10  how long each player is measured
#   BENCH_ROUNDS=3    rounds; the figures are the medians
#   BENCH_RAW=1       also print every round's rows
# Installs mpv and gst-play-1.0 when they are missing (they are not test packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target mirova mirova-gst -j2 >/dev/null
missing=()
command -v mpv >/dev/null || missing+=(mpv)
command -v gst-play-1.0 >/dev/null || missing+=(gstreamer1.0-plugins-base-apps)
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
export QT_QPA_PLATFORM=xcb BENCH_SECONDS=${BENCH_SECONDS:-10}
# A session bus for the player's media keys, through which the bench pauses it.
exec dbus-run-session -- "$root/tests/support/with_xvfb.sh" --screen 1920x1080 "$root/tests/support/with_pulse.sh" \
  "$root/bench/video_cpu_inner.sh" "$build"
