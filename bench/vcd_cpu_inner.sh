#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The measuring half of vcd_cpu.sh, run on the private X server and sink.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
source "$root/bench/measure.sh"
bin=$1
e2e_home
cd "$E2E_HOME"
# 70 s of moving colour bars and a chord, so both decoders have real work.
ffmpeg -loglevel error -f lavfi -i "testsrc=size=352x288:rate=25:duration=70" -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*220*t)+0.2*sin(2*PI*277*t)+0.2*sin(2*PI*330*t):s=44100:d=70" -target pal-vcd movie.mpg
vcdimager -q -t vcd2 -c vcd.cue -b vcd.bin movie.mpg >/dev/null

# Prints "cpu% peak_rss_kib sink_hz" for the player $1 that is already playing.
sample() {
  sleep 2
  read -r cpu rss < <(measure "$1")
  echo "$cpu $rss $(e2e_sink_freq 2)"
  kill "$1"
  wait "$1" 2>/dev/null || true
}

MIROVA_DRIVES="D=$E2E_HOME/vcd.cue" "$bin" >/dev/null 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$')
e2e_click_vcd "$win"
e2e_wait_window '^Savrel超级播放器-播放VCD$' 10 >/dev/null
read -r v_cpu v_rss v_peak < <(sample $pid)

"$bin" >/dev/null 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$')
e2e_open_file "$win" "$E2E_HOME/movie.mpg"
e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 10 >/dev/null
read -r f_cpu f_rss f_peak < <(sample $pid)

# xvimagesink has no XVideo under Xvfb: name the X11 sink, as the player paints through X11 too.
gst-play-1.0 -q --videosink=ximagesink --audiosink=pulsesink "$E2E_HOME/movie.mpg" >/dev/null 2>&1 &
read -r p_cpu p_rss p_peak < <(sample $!)

printf '%-22s %8s %12s %10s\n' player "cpu%" "peak RSS KiB" "sink Hz"
printf '%-22s %8s %12s %10s\n' "mirova, VCD image" "$v_cpu" "$v_rss" "$v_peak"
printf '%-22s %8s %12s %10s\n' "mirova, MPEG file" "$f_cpu" "$f_rss" "$f_peak"
printf '%-22s %8s %12s %10s\n' "gst-play-1.0, file" "$p_cpu" "$p_rss" "$p_peak"
awk -v a="$v_cpu" -v b="$p_cpu" -v c="$v_rss" -v d="$p_rss" \
  'BEGIN { printf "ratio mirova VCD image / gst-play-1.0: cpu %.2f, memory %.2f\n", (b > 0 ? a / b : 0), (d > 0 ? c / d : 0) }'
cd / && rm -rf "$E2E_HOME"
