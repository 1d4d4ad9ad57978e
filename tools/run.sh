#!/bin/bash
# Installs what the player needs, builds it and starts it. On a machine
# without a display it starts a virtual one (Xvfb) and says how to look at it.
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
exec "$root/build/bin/mirova"
