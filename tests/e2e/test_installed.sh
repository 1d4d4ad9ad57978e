#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player as the Debian package installed it: /usr/bin/mirova finds bg.bmp
# in its program folder, leaves the installed desktop entry to handle audio
# CDs (removing the hidden per-user entry an earlier version wrote), loads
# GStreamer only with the first file, plays a file chosen from the keyboard,
# and without a session bus says nothing about it. Made the default for
# MP3 on a fresh HOME, it is what `gio open` starts on an MP3, and it plays it.
# Usage (under with_xvfb.sh and with_pulse.sh): test_installed.sh EXPECTED_TREE SCREENSHOT_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"
expected=$1 shots=$2
folder=/usr/lib/mirova
e2e_home
unset DBUS_SESSION_BUS_ADDRESS XDG_DATA_DIRS
mkdir -p "$shots"

want=$(grep -v '^#' "$expected" | sed 's#^#/usr/#' | LC_ALL=C sort)
got=$(dpkg -L mirova | while read -r p; do [[ -f "$p" || -L "$p" ]] && echo "$p"; done | LC_ALL=C sort)
[[ "$got" == "$want" ]] && pass "the package holds exactly the expected tree" \
  || fail "package differs (< expected, > package): $(diff <(echo "$want") <(echo "$got") | grep '^[<>]' | tr '\n' ' ')"
[[ "$(man -w mirova 2>/dev/null)" == /usr/share/man/man1/mirova.1.gz ]] && pass "man mirova finds the manual page" \
  || fail "man -w mirova: $(man -w mirova 2>&1)"

legacy=$XDG_DATA_HOME/applications/mirova.desktop
mkdir -p "$(dirname "$legacy")"
printf '[Desktop Entry]\nType=Application\nName=Savrel超级播放器\nExec=/old/build/bin/mirova\nIcon=mirova\nMimeType=x-content/audio-cdda;\nNoDisplay=true\nTerminal=false\n' >"$legacy"

ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" -ac 2 -b:a 128k "$E2E_HOME/tone.mp3" || exit 1
log=$E2E_HOME/player.log
/usr/bin/mirova >"$log" 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$') || { fail "no main window"; cat "$log"; exit 1; }
sleep 1

# The background: a piece of bg.bmp from where no control covers it.
import -window "$win" "$shots/window.png"
convert "$folder/bg.bmp" -crop 40x40+50+35 +repage "$E2E_HOME/piece.png"
read -r rmse at < <(compare -metric RMSE -subimage-search "$shots/window.png" "$E2E_HOME/piece.png" null: 2>&1 \
  | sed -E 's/.*\(([0-9.e-]+)\) @ ([0-9]+,[0-9]+).*/\1 \2/')
awk -v e="${rmse:-1}" 'BEGIN { exit !(e < 0.02) }' && pass "bg.bmp from $folder behind the controls (at $at)" \
  || fail "bg.bmp not shown: difference ${rmse:-none}"

[[ ! -e "$legacy" ]] && pass "the earlier version's hidden entry is gone" || fail "still there: $(cat "$legacy")"
[[ "$(xdg-mime query default x-content/audio-cdda)" == mirova.desktop ]] && pass "mirova.desktop plays audio CDs" \
  || fail "default for audio CDs: $(xdg-mime query default x-content/audio-cdda)"
exec_line=$(grep '^Exec=' /usr/share/applications/mirova.desktop | cut -d= -f2- | cut -d' ' -f1)
[[ "$(readlink -f "$exec_line")" == "$folder/mirova" ]] && pass "its Exec=$exec_line runs $folder/mirova" \
  || fail "Exec=$exec_line"

grep -q libgstreamer "/proc/$pid/maps" && fail "GStreamer mapped before a file was opened" \
  || pass "GStreamer not mapped while idle"
e2e_open_file "$win" "$E2E_HOME/tone.mp3" && pass "file chosen in the open dialog" || fail "no open dialog"
sleep 1
peak=$(e2e_sink_peak 3)
awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.02) }' && pass "sound reached the sink (peak $peak)" \
  || fail "no sound at the sink (peak ${peak:-none})"
import -window "$win" "$shots/playing.png"

e2e_quit "$win" "$pid"
grep -Eqi 'd-?bus' "$log" && fail "the player spoke of the missing bus: $(cat "$log")" || pass "no word about the missing session bus"
rm -rf "$E2E_HOME"

e2e_home
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" -ac 2 -b:a 128k "$E2E_HOME/tone.mp3" || exit 1
xdg-mime default mirova.desktop audio/mpeg
gio open "$E2E_HOME/tone.mp3" && pass "gio open took the MP3" || fail "gio open failed"
if win=$(e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 20); then
  pass "gio open started the player on the file"
  sleep 1
  peak=$(e2e_sink_peak 3)
  awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.02) }' && pass "the sink heard it (peak $peak)" \
    || fail "no sound at the sink (peak ${peak:-none})"
  pid=$(xdotool getwindowpid "$win")
  e2e_quit "$win" "$pid"
else
  fail "no player playing the file: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' ' ')"
fi
rm -rf "$E2E_HOME"
e2e_done
