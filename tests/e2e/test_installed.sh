#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player as the Debian package installed it: /usr/bin/mirova leaves the
# installed desktop entry to handle audio CDs, loads GStreamer only with the
# first file, plays a file chosen from the keyboard, and without a session bus
# says nothing about it. Made the default for
# MP3 on a fresh HOME, it is what `gio open` starts on an MP3, and it plays it.
# Usage (under with_xvfb.sh and with_pulse.sh): test_installed.sh EXPECTED_TREE SCREENSHOT_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"
expected=$1
folder=/usr/lib/mirova
e2e_home
tone=$(mktemp -d)/tone.mp3
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" -ac 2 -b:a 128k "$tone" || exit 1
unset DBUS_SESSION_BUS_ADDRESS XDG_DATA_DIRS

want=$(grep -v '^#' "$expected" | sed 's#^#/usr/#' | LC_ALL=C sort)
got=$(dpkg -L mirova | while read -r p; do [[ -f "$p" || -L "$p" ]] && echo "$p"; done | LC_ALL=C sort)
[[ "$got" == "$want" ]] && pass "the package holds exactly the expected tree" \
  || fail "package differs (< expected, > package): $(diff <(echo "$want") <(echo "$got") | grep '^[<>]' | tr '\n' ' ')"

e2e_start /usr/bin/mirova
sleep 0.5

[[ "$(xdg-mime query default x-content/audio-cdda)" == mirova.desktop ]] && pass "mirova.desktop plays audio CDs" \
  || fail "default for audio CDs: $(xdg-mime query default x-content/audio-cdda)"
exec_line=$(grep '^Exec=' /usr/share/applications/mirova.desktop | cut -d= -f2- | cut -d' ' -f1)
[[ "$(readlink -f "$exec_line")" == "$folder/mirova" ]] && pass "its Exec=$exec_line runs $folder/mirova" \
  || fail "Exec=$exec_line"

grep -q libgstreamer "/proc/$pid/maps" && fail "GStreamer mapped before a file was opened" \
  || pass "GStreamer not mapped while idle"
e2e_open_file "$win" "$tone" && pass "file chosen in the open dialog" || fail "no open dialog"
sleep 1
e2e_hears 440 3 "its 440 Hz at the sink"

e2e_quit "$win" "$pid"
grep -Eqi 'd-?bus' "$E2E_HOME/player.log" && fail "the player spoke of the missing bus: $(cat "$E2E_HOME/player.log")" \
  || pass "no word about the missing session bus"
rm -rf "$E2E_HOME"

e2e_home
xdg-mime default mirova.desktop audio/mpeg
gio open "$tone" && pass "gio open took the MP3" || fail "gio open failed"
if win=$(e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 20); then
  pass "gio open started the player on the file"
  sleep 1
  e2e_hears 440 3 "the sink heard it"
  pid=$(xdotool getwindowpid "$win")
  e2e_quit "$win" "$pid"
else
  fail "no player playing the file: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' ' ')"
fi
rm -rf "$E2E_HOME" "$(dirname "$tone")"
e2e_done
