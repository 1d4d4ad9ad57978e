#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with twm managing the X server in $DISPLAY: every window
# gets a frame of the window manager's own, placed without asking the user.
# Usage: with_window_manager.sh COMMAND [ARGS...]
set -euo pipefail
rc=$(mktemp /tmp/mirova-twmrc.XXXXXX)
# "fixed" is the one font every X server has built in.
for f in TitleFont ResizeFont MenuFont IconFont IconManagerFont; do echo "$f \"fixed\""; done >"$rc"
printf 'RandomPlacement\nUsePPosition "on"\nNoGrabServer\n' >>"$rc"
twm -f "$rc" >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true; wait $wm 2>/dev/null || true; rm -f "$rc"' EXIT
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -q 'TWM Icon Manager' && break
  sleep 0.1
done
kill -0 $wm
"$@"
