#!/bin/bash
# Runs a command on a private X server whose one screen (2048x768) is split
# into two monitors side by side, root colour #306090.
# Usage: with_two_monitors.sh COMMAND [ARGS...]
set -euo pipefail
for n in $(seq 200 300); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 2048x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true; wait $xpid 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo -display ":$n" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
xsetroot -solid '#306090'
xrandr --setmonitor left 1024/270x768/200+0+0 none
xrandr --setmonitor right 1024/270x768/200+1024+0 none
"$@"
