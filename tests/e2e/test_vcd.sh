#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real player with a Video CD image as drive D: the VCD button lists and
# plays the disc, the video shows entry 1's red picture, the sink hears its
# 440 Hz tone, and entry 2 follows.
# Usage: test_vcd.sh MIROVA_BINARY (under with_xvfb.sh and with_pulse.sh)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_home
cd "$E2E_HOME" || exit 1
sequence() {  # NAME COLOUR HZ SECONDS
  ffmpeg -loglevel error -f lavfi -i "color=c=$2:size=352x288:rate=25:duration=$4" \
    -f lavfi -i "sine=frequency=$3:duration=$4" -target pal-vcd "$1" || exit 1
}
sequence red.mpg red 440 6
sequence blue.mpg blue 1000 3
vcdimager -q -t vcd2 -c vcd.cue -b vcd.bin red.mpg blue.mpg >/dev/null || exit 1

MIROVA_DRIVES="D=$E2E_HOME/vcd.cue" e2e_start "$1"
# The sink recorded from the click to entry 2: all of entry 1's sound.
e2e_record "$E2E_HOME/sink.wav"
e2e_click_vcd "$win"

video=$(e2e_wait_window '^AVSEQ01.DAT$' 10) && pass "entry 1 plays in a video window" || fail "no video window for AVSEQ01.DAT"
sleep 1
if [[ -n "$video" ]]; then
  import -window "$video" video.png
  read -r r g b < <(convert video.png -resize 1x1\! -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)
  ((r > 180 && g < 80 && b < 80)) && pass "the video window shows entry 1's red ($r,$g,$b)" \
    || fail "the video window shows ($r,$g,$b), not red"
fi
e2e_wait_window '^AVSEQ02.DAT$' 20 >/dev/null && pass "entry 2 follows from the list" || fail "entry 2 never played"
e2e_record_stop
e2e_heard 440 "$E2E_HOME/sink.wav" "the sink hears entry 1's tone"
kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
cd / && rm -rf "$E2E_HOME"
e2e_done
