#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real player and CD service on a disc image given as drive D: the CD
# menu item lists the tracks, a double-click on the third row plays the third
# track's tone, and "退出，但不停止CD音乐(&B)" ends the player
# while the disc plays on. Usage (under with_xvfb.sh, with_pulse.sh):
# test_cd.sh MIROVA
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_cd_image "$E2E_HOME" 8:300 8:500 60:800
export MIROVA_DRIVES="D=$E2E_HOME/disc.cue"
# The service outlives the player by design: end it with the test.
trap 'kill "${pid:-}" $(cat "$XDG_RUNTIME_DIR/mirova/cdaudio.lock" 2>/dev/null) 2>/dev/null; rm -rf "$E2E_HOME"' EXIT

# 文件(&F) > 播放 CD (&C)
e2e_start "$bin"
e2e_keys "$win" alt+f c
e2e_wait_window '^Savrel超级播放器-播放CD$' 10 >/dev/null && pass "caption reads Savrel超级播放器-播放CD" \
  || fail "caption: $(xdotool getwindowname "$win")"
sleep 1
read -r wx wy wh < <(xdotool getwindowgeometry --shell "$win" | awk -F= '/^(X|Y|HEIGHT)=/ {printf "%s ", $2}')
menu=$((wh - 133))  # the client area is 225 x 133 px below the menu bar

# The third row (15 px rows under this style and font) plays the third track.
xdotool mousemove --sync $((wx + 185)) $((wy + menu + 38)) click --repeat 2 --delay 80 1
sleep 1.5
e2e_hears 800 2 "track 3's tone at the sink"

# 文件(&F) > 退出，但不停止CD音乐(&B): the disc plays on.
e2e_keys "$win" alt+f b
e2e_wait_end "$pid" && pass "退出，但不停止CD音乐 ends the player"
sleep 0.5
e2e_hears 800 2 "the disc plays on after the player"
e2e_done
