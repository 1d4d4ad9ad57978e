#!/bin/bash
# Runs a command on a private X server (Xvfb) of 1024x768x24, with a known
# root-window colour. Usage: with_xvfb.sh COMMAND [ARGS...]
set -euo pipefail
for n in $(seq 90 190); do [ -e "/tmp/.X$n-lock" ] || break; done
# -noreset: otherwise the server resets when xsetroot, its only client, leaves,
# and the root colour is lost.
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true; wait $xpid 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo -display ":$n" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
xsetroot -solid '#306090' 2>/dev/null || true
"$@"
