#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real player on a real X server: window title, one copy only, geometry saved at close and
# restored at the next start. Usage (under with_xvfb.sh, with_pulse.sh): test_startup.sh MIROVA
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_home
geometry() { xdotool getwindowgeometry --shell "$win" | grep -v WINDOW | tr '\n' ' '; }
files() { find "$E2E_HOME" -path "$XDG_RUNTIME_DIR" -prune -o -type f ! -name player.log -printf '%p %T@ %s\n' | sort; }

e2e_start "$bin" && pass "window titled Savrel超级播放器 appears"

# A second copy ends at once, shows nothing and writes nothing.
before=$(files)
out=$(timeout 5 "$bin" 2>&1)
rc=$?
[[ $rc -eq 0 ]] && pass "second copy ended within 5 s" || fail "second copy rc=$rc (124: still running at 5 s): $out"
[[ "$before" == "$(files)" ]] && pass "second copy touched nothing" || fail "second copy changed files: $(diff <(echo "$before") <(files))"
n=$(xdotool search --onlyvisible --name '^Savrel超级播放器$' | wc -l)
[[ $n -eq 1 ]] && pass "still one window" || fail "$n windows"

# Moved, resized and closed through the menu: the geometry is saved, the width
# as the outer frame in twips (a window manager's frame adds to the 300 px).
xdotool windowsize --sync "$win" 300 220
xdotool windowmove --sync "$win" 140 90
sleep 0.5
want=$(geometry)
e2e_quit "$win" "$pid"

# The next start comes back at that size and place.
e2e_start "$bin"
got=$(geometry)
[[ "$got" == "$want" ]] && pass "restored at $got" || fail "restored at $got, closed at $want"
e2e_quit "$win" "$pid"
rm -rf "$E2E_HOME"
e2e_done
