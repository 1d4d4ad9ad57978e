#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private X server (Xvfb), root colour #306090.
# Usage: with_xvfb.sh [--two-monitors | --screen WxH] COMMAND [ARGS...]
#   default: one 1024x768x24 screen
#   --two-monitors: one 2048x768 screen split into two monitors side by side
#   --screen WxH: one screen of that size
set -euo pipefail
size=1024x768x24
two=0
if [[ "${1:-}" == --two-monitors ]]; then
  size=2048x768x24
  two=1
  shift
elif [[ "${1:-}" == --screen ]]; then
  size=${2}x24
  shift 2
fi
# The server picks a free display itself and tells us on a pipe, so tests
# running side by side never share (and then lose) one server.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "$size" -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true; wait $xpid 2>/dev/null || true' EXIT
read -r -t 20 -u "$fd" n || { echo "with_xvfb.sh: Xvfb did not start" >&2; exit 1; }
exec {fd}<&-
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
# -noreset above: otherwise the server resets when xsetroot, its only
# client, leaves, and the root colour is lost.
xsetroot -solid '#306090'
if ((two)); then
  xrandr --setmonitor left 1024/270x768/200+0+0 none
  xrandr --setmonitor right 1024/270x768/200+1024+0 none
fi
"$@"
