#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real player plays an MP3 chosen from the keyboard: sound reaches the
# sink and the caption says a file is playing.
# Usage: test_play_file.sh MIROVA_BINARY (under with_xvfb.sh and with_pulse.sh)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_home
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" -ac 2 -b:a 128k "$E2E_HOME/tone.mp3" || exit 1
"$1" >"$E2E_HOME/player.log" 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$') || { fail "no main window"; cat "$E2E_HOME/player.log"; exit 1; }
# GStreamer is loaded with the first file, and MP3 plays without libav.
mapped() { grep -qE "$1" "/proc/$pid/maps"; }
mapped libgstreamer && fail "GStreamer mapped before a file was opened" || pass "GStreamer not mapped while idle"
e2e_open_file "$win" "$E2E_HOME/tone.mp3" && pass "file chosen in the open dialog" || fail "no open dialog"
e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 10 >/dev/null \
  && pass "caption reads Savrel超级播放器-播放多媒体文件" || fail "caption: $(xdotool getwindowname "$win")"
sleep 1
peak=$(e2e_sink_peak 3)
awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.02) }' && pass "sound reached the sink (peak $peak)" \
  || fail "no sound at the sink (peak ${peak:-none})"
mapped 'libav(codec|format|filter)|libgstlibav' && fail "libav mapped for an MP3" || pass "no libav mapped for an MP3"
kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
rm -rf "$E2E_HOME"
e2e_done
