#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The measuring half of players.sh, run on the private X server and sink.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
source "$root/bench/measure.sh"
build=$1
rounds=${BENCH_ROUNDS:-1}
e2e_home
trap 'rm -rf "$E2E_HOME"' EXIT
song=$E2E_HOME/song.mp3
film=$E2E_HOME/film.mpg
results=$E2E_HOME/results
# A chord with a little noise, so the decoders have real work.
chord="0.3*sin(2*PI*220*t)+0.2*sin(2*PI*277*t)+0.2*sin(2*PI*330*t)+0.05*random(0)"
ffmpeg -loglevel error -f lavfi -i "aevalsrc=$chord:s=44100:d=40" -ac 2 -b:a 192k "$song"
ffmpeg -loglevel error -f lavfi -i "testsrc=size=352x288:rate=25:duration=40" -f lavfi -i "aevalsrc=$chord:s=44100:d=40" \
  -target pal-vcd "$film"
# Every GStreamer program then starts on a ready plugin registry, as on a user's machine.
gst-inspect-1.0 >/dev/null 2>&1

# Measures the playing process $3 as player $2 on medium $1, then ends it.
record() {
  local medium=$1 label=$2 pid=$3 cpu hwm hz
  sleep 3  # past the start
  read -r cpu hwm < <(measure "$pid")
  hz=$(e2e_sink_freq 2)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$medium $label $cpu $hwm ${hz:-0}" >>"$results"
}

peer() {
  local medium=$1 label=$2
  shift 2
  "$@" >/dev/null 2>&1 &
  record "$medium" "$label" $!
}

mirova_plays() {
  local medium=$1 file=$2 pid win
  "$build/bin/mirova" >/dev/null 2>&1 &
  pid=$!
  win=$(e2e_wait_window '^Savrel超级播放器$' 30)
  e2e_open_file "$win" "$file"
  e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 20 >/dev/null
  record "$medium" mirova "$pid"
}

# Time from the start of a program to its window $2 on screen (to the 0.1 s
# that the window search polls at), and its resident memory 3 s later.
idle() {
  local label=$1 title=$2 pid started shown
  shift 2
  started=$(date +%s%N)
  "$@" >/dev/null 2>&1 &
  pid=$!
  e2e_wait_window "$title" 30 >/dev/null
  shown=$(date +%s%N)
  sleep 3
  echo "idle $label $(((shown - started) / 1000000)) $(status_kib "$pid" VmRSS) 0" >>"$results"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

for _ in $(seq "$rounds"); do
  idle qt-window '^最小窗口$' "$build/bin/idle_window"
  idle mirova '^Savrel超级播放器$' "$build/bin/mirova"
  mirova_plays mp3 "$song"
  # Audacious as it starts for a user, with a fresh configuration each time.
  peer mp3 audacious env XDG_CONFIG_HOME="$(mktemp -d -p "$E2E_HOME")" audacious "$song"
  peer mp3 mpv mpv --no-config --no-terminal --audio-device=pulse/mirova_test "$song"
  peer mp3 gst-play gst-play-1.0 --no-interactive "$song"
  mirova_plays mpeg1 "$film"
  # Software video output for all three, as mirova paints its frames itself.
  peer mpeg1 mpv mpv --no-config --no-terminal --vo=x11 --audio-device=pulse/mirova_test "$film"
  peer mpeg1 gst-play gst-play-1.0 --no-interactive --videosink=ximagesink "$film"
done

# Medians per medium and player; the tone at the sink shows that each one played.
median() { # medium label column
  awk -v m="$1" -v l="$2" -v c="$3" '$1 == m && $2 == l { print $c }' "$results" | sort -n |
    awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print 0 }'
}
printf '%-6s %-10s %14s %14s %10s\n' medium player "cpu%|start ms" "peak RSS MiB" "sink Hz"
while read -r medium label; do
  awk -v m="$medium" -v l="$label" -v c="$(median "$medium" "$label" 3)" -v r="$(median "$medium" "$label" 4)" \
    -v p="$(median "$medium" "$label" 5)" 'BEGIN { printf "%-6s %-10s %14s %14.1f %10s\n", m, l, c, r / 1024, (m == "idle" ? "-" : p) }'
done < <(awk '!seen[$1 " " $2]++ { print $1, $2 }' "$results")

ratio() { # what, medium, column, player a, player b
  awk -v w="$1" -v a="$(median "$2" "$4" "$3")" -v b="$(median "$2" "$5" "$3")" -v x="$4" -v y="$5" \
    'BEGIN { printf "%-24s %s/%s = %.2f\n", w, x, y, (b > 0 ? a / b : 0) }'
}
echo
ratio "start-up time" idle 3 mirova qt-window
ratio "idle memory" idle 4 mirova qt-window
ratio "MP3 memory" mp3 4 mirova audacious
ratio "MP3 memory" mp3 4 mirova mpv
ratio "MP3 CPU" mp3 3 mirova gst-play
ratio "MPEG-1 memory" mpeg1 4 mirova mpv
ratio "MPEG-1 CPU" mpeg1 3 mirova gst-play
echo "(medians of $rounds round(s); each player measured for $window s while playing)"
