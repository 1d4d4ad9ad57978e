#!/bin/bash
# The real player on a real X server: window title, one copy only, geometry
# saved at close and restored at the next start, and a screenshot for people
# to look at. Usage: test_startup.sh MIROVA_BINARY SCREENSHOT_DIR
# (run under with_xvfb.sh and with_pulse.sh).
set -uo pipefail
bin=$1
shots=${2:-.}
mkdir -p "$shots"
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
e2e_home
home=$E2E_HOME
ini=$XDG_CONFIG_HOME/mirova/mirova.ini
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "PASS: $*"; passes=$((passes + 1)); }
wait_window() { e2e_wait_window '^Savrel超级播放器$' 15; }
geometry() { xdotool getwindowgeometry --shell "$1" | grep -v WINDOW | tr '\n' ' '; }
quit_by_menu() {  # 文件(&F) -> 退出(&X): the ordinary close
  e2e_focus "$1"
  xdotool key --clearmodifiers alt+f
  sleep 0.5
  xdotool key --clearmodifiers x
}

logs=$(mktemp -d)
"$bin" >"$logs/first.log" 2>&1 &
pid=$!
win=$(wait_window) && pass "window titled Savrel超级播放器 appears" || { fail "no main window"; cat "$logs/first.log"; exit 1; }
sleep 0.5
import -window root "$shots/startup.png"

# A second copy ends at once, shows nothing and writes nothing.
before=$(find "$home" -path "$XDG_RUNTIME_DIR" -prune -o -type f -printf '%p %T@ %s\n' | sort)
start=$(date +%s%N)
timeout 10 "$bin" >"$logs/second.log" 2>&1
rc=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
after=$(find "$home" -path "$XDG_RUNTIME_DIR" -prune -o -type f -printf '%p %T@ %s\n' | sort)
[[ $rc -eq 0 && $ms -lt 5000 ]] && pass "second copy ended at once (${ms} ms)" || fail "second copy rc=$rc after ${ms} ms"
[[ "$before" == "$after" ]] && pass "second copy touched nothing" || fail "second copy changed files: $(diff <(echo "$before") <(echo "$after"))"
n=$(xdotool search --onlyvisible --name '^Savrel超级播放器$' | wc -l)
[[ $n -eq 1 ]] && pass "still one window" || fail "$n windows"
[[ -f "$XDG_DATA_HOME/applications/mirova.desktop" ]] && grep -q 'MimeType=x-content/audio-cdda;' "$XDG_DATA_HOME/applications/mirova.desktop" \
  && pass "AutoPlay entry written" || fail "no AutoPlay desktop entry"

# Move and resize, close through the menu: the geometry is saved.
xdotool windowsize --sync "$win" 300 220
xdotool windowmove --sync "$win" 140 90
sleep 0.5
want=$(geometry "$win")
quit_by_menu "$win"
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && { fail "player did not end after 退出"; kill $pid; }
wait $pid 2>/dev/null
for k in height width top left; do
  grep -qi "^$k=" "$ini" && pass "closing wrote $k=$(grep -i "^$k=" "$ini" | cut -d= -f2)" || fail "closing did not write $k"
done
# The client was made 300 px wide: the frame (if a window manager draws one) adds to it.
w=$(grep -i '^width=' "$ini" | cut -d= -f2)
[[ "$w" =~ ^[0-9]+$ ]] && ((w >= 4500 && w % 15 == 0)) && pass "width $w twips is the outer frame" || fail "width not the frame in twips: $(cat "$ini")"

# The next start comes back at that size and place.
"$bin" >"$logs/third.log" 2>&1 &
pid=$!
win=$(wait_window) || { fail "no window at the next start"; exit 1; }
sleep 0.5
got=$(geometry "$win")
[[ "$got" == "$want" ]] \
  && pass "restored at $got" || fail "restored at $got, closed at $want"
import -window root "$shots/restored.png" 2>/dev/null || true
quit_by_menu "$win"
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill $pid 2>/dev/null
rm -rf "$home" "$logs"
echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
