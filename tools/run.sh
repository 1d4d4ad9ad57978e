#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the player needs, builds it and starts it. On a machine
# without a display it starts a virtual one (Xvfb) and says how to look at
# it; without a sound server, a private one for this run, and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" packages-run.txt
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVA_TESTS=OFF
cmake --build "$root/build" --target mirova
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  n=77
  echo "No display found: starting a virtual X display :$n (Xvfb)."
  echo "Look at it with: xwd -display :$n -root -out shot.xwd  (then open shot.xwd in an image viewer), or any X/VNC viewer."
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  export DISPLAY=":$n"
  sleep 1
fi
player=("$root/build/bin/mirova")
# The mixer and the sound go through the sound server. The PulseAudio daemon
# is installed only where none answers, and never beside PipeWire, whose
# PulseAudio socket it would contend for.
if ! pactl info >/dev/null 2>&1; then
  if ! command -v pulseaudio >/dev/null && ! dpkg-query -W -f='${Status}' pipewire-pulse 2>/dev/null | grep -q ' installed'; then
    "$root/tools/install-deps.sh" packages-sound.txt
  fi
  if command -v pulseaudio >/dev/null; then
    echo "No sound server found: starting a private one (PulseAudio) for this run; its sound goes to a null sink."
    player=("$root/tests/support/with_pulse.sh" "${player[@]}")
  fi
fi
exec "${player[@]}"
