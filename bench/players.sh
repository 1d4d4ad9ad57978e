#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Memory and CPU of mirova beside other players, all in one run on one
# private X server and one PulseAudio null sink:
#   start-up time to the window on screen, and idle memory (window shown,
#   nothing open), beside a bare Qt window with a menu bar
#   and a list (idle_window);
#   a 40-second MP3 beside Audacious, mpv and gst-play-1.0;
#   a 40-second MPEG-1 file (Video CD format) beside mpv and gst-play-1.0.
# Usage: bench/players.sh [BUILD_DIR]   (default: build)
#   BENCH_SECONDS=30  how long each player is measured while it plays
#   BENCH_ROUNDS=1    rounds; the figures are the medians
# Installs mpv and Audacious when they are missing (they are not test packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target mirova idle_window -j2 >/dev/null
missing=()
command -v mpv >/dev/null || missing+=(mpv)
command -v audacious >/dev/null || missing+=(audacious audacious-plugins)
command -v gst-play-1.0 >/dev/null || missing+=(gstreamer1.0-tools)
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
export QT_QPA_PLATFORM=xcb
exec "$root/tests/support/with_xvfb.sh" "$root/tests/support/with_pulse.sh" "$root/bench/players_inner.sh" "$build"
