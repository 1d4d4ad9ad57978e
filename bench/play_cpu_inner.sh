#!/bin/bash
# The measuring half of play_cpu.sh, run on the private X server and sink.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
bin=$1
e2e_home
song=$E2E_HOME/song.mp3
# A chord rather than one tone, so the decoder has real work.
ffmpeg -loglevel error -f lavfi -i "aevalsrc=0.3*sin(2*PI*220*t)+0.2*sin(2*PI*277*t)+0.2*sin(2*PI*330*t)+0.05*random(0):s=44100:d=60" \
  -ac 2 -b:a 192k "$song"
source "$root/bench/measure.sh"

"$bin" >/dev/null 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$')
e2e_open_file "$win" "$song"
e2e_wait_window '^Savrel超级播放器-播放多媒体文件$' 10 >/dev/null
sleep 2
read -r m_cpu m_rss < <(measure "$pid")
m_peak=$(e2e_sink_peak 2)
kill "$pid"; wait "$pid" 2>/dev/null || true

mpv --no-config --no-video --no-terminal --audio-device=pulse/mirova_test "$song" &
pid=$!
sleep 2
read -r p_cpu p_rss < <(measure "$pid")
p_peak=$(e2e_sink_peak 2)
kill "$pid"; wait "$pid" 2>/dev/null || true

printf '%-8s %8s %12s %10s\n' player "cpu%" "peak RSS KiB" "sink peak"
printf '%-8s %8s %12s %10s\n' mirova "$m_cpu" "$m_rss" "$m_peak"
printf '%-8s %8s %12s %10s\n' mpv "$p_cpu" "$p_rss" "$p_peak"
awk -v a="$m_cpu" -v b="$p_cpu" -v c="$m_rss" -v d="$p_rss" \
  'BEGIN { printf "ratio mirova/mpv: cpu %.2f, memory %.2f\n", (b > 0 ? a / b : 0), (d > 0 ? c / d : 0) }'
rm -rf "$E2E_HOME"
