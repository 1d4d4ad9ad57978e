#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The measuring half of video_cpu.sh, run on the private X server, sink and session bus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
source "$root/bench/measure.sh"
build=$1
rounds=${BENCH_ROUNDS:-3}
e2e_home
trap 'rm -rf "$E2E_HOME"' EXIT
film=$E2E_HOME/film.mpg
results=$E2E_HOME/results
# Moving colour bars and a chord, as a Video CD carries them (352x240, 4:3).
ffmpeg -loglevel error -f lavfi -i "testsrc=size=352x240:rate=30000/1001:duration=60" \
  -f lavfi -i "aevalsrc=0.3*sin(2*PI*220*t)+0.2*sin(2*PI*277*t)+0.2*sin(2*PI*330*t):s=44100:d=60" \
  -target ntsc-vcd "$film"
gst-inspect-1.0 >/dev/null 2>&1  # a ready plugin registry, as on a user's machine

# Records "what player cpu_seconds wakeups_per_second" for process $3.
record() { echo "$1 $2 $(cpu_seconds "$3")" >>"$results"; }
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

peer() {
  local what=$1 label=$2 pid
  shift 2
  "$@" >/dev/null 2>&1 &
  pid=$!
  sleep 3  # past the start
  record "$what" "$label" "$pid"
  stop "$pid"
}

mirova() {
  local pid win video
  "$build/bin/mirova" >/dev/null 2>&1 &
  pid=$!
  win=$(e2e_wait_window '^Savrel超级播放器$' 30)
  sleep 2
  record idle mirova "$pid"
  e2e_open_file "$win" "$film"
  video=$(e2e_wait_window '^film.mpg$' 20)
  sleep 3
  record native mirova "$pid"
  xdotool windowsize --sync "$video" 1280 720
  sleep 2
  record 1280x720 mirova "$pid"
  dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.mirova /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Player.Pause
  sleep 2
  record paused mirova "$pid"
  stop "$pid"
}

for _ in $(seq "$rounds"); do
  mirova
  peer native gst-play gst-play-1.0 -q --no-interactive --videosink=ximagesink --audiosink=pulsesink "$film"
  peer native mpv mpv --no-config --no-terminal --vo=x11 --audio-device=pulse/mirova_test "$film"
  peer 1280x720 mpv mpv --no-config --no-terminal --vo=x11 --geometry=1280x720 --audio-device=pulse/mirova_test "$film"
done

median() { # what player column
  awk -v w="$1" -v p="$2" -v c="$3" '$1 == w && $2 == p { print $c }' "$results" | sort -n |
    awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print 0 }'
}
printf '%-9s %-9s %12s %12s\n' window player "cpu s/${window}s" "wakeups/s"
while read -r what label; do
  printf '%-9s %-9s %12s %12s\n' "$what" "$label" "$(median "$what" "$label" 3)" "$(median "$what" "$label" 4)"
done < <(awk '!seen[$1 " " $2]++ { print $1, $2 }' "$results")
ratio() { # window, player a, player b
  awk -v w="$1" -v a="$(median "$1" "$2" 3)" -v b="$(median "$1" "$3" 3)" -v x="$2" -v y="$3" \
    'BEGIN { printf "%-9s %s/%s = %.2f\n", w, x, y, (b > 0 ? a / b : 0) }'
}
echo
ratio native mirova gst-play
ratio native mirova mpv
ratio 1280x720 mirova mpv
echo "(medians of $rounds round(s) of $window s each)"
if [[ -n ${BENCH_RAW:-} ]]; then echo; cat "$results"; fi
