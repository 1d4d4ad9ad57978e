#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Where mirova's resident memory goes: its memory map (/proc/PID/smaps)
# summed by kind, while idle and while playing a file, and the mappings that
# grew most between the two.
# Usage: bench/memory_map.sh [BUILD_DIR] [FILE]   (default: build, a 40-second MP3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
file=${2:+$(realpath "$2")}
if [[ ${INSIDE_BENCH:-} != 1 ]]; then
  cmake --build "$build" --target mirova -j2 >/dev/null
  export INSIDE_BENCH=1 QT_QPA_PLATFORM=xcb
  exec "$root/tests/support/with_xvfb.sh" "$root/tests/support/with_pulse.sh" "$0" "$build" ${file:+"$file"}
fi
source "$root/tests/e2e/lib.sh"
e2e_home
trap 'rm -rf "$E2E_HOME"' EXIT
if [[ -z $file ]]; then
  file=$E2E_HOME/song.mp3
  ffmpeg -loglevel error -f lavfi -i "aevalsrc=0.3*sin(2*PI*220*t)+0.2*sin(2*PI*330*t):s=44100:d=40" -ac 2 -b:a 192k "$file"
fi
gst-inspect-1.0 >/dev/null 2>&1  # a ready plugin registry, as on a user's machine

# Resident KiB per mapping name: "name kib" lines.
by_mapping() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anon]"; next }
       /^Rss:/ { rss[name] += $2 }
       END { for (n in rss) print n, rss[n] }' "$1"
}
kind() {
  awk '{ n = $1
         k = "other libraries and files"
         if (n ~ /libav(codec|format|filter|util)|libsw(scale|resample)|libgstlibav/) k = "libav"
         else if (n ~ /gstreamer|libgst|liborc|mirova-gst/) k = "GStreamer"
         else if (n ~ /libQt6/) k = "Qt"
         else if (n ~ /libasound|pulse|libsndfile|FLAC|vorbis|opus|mp3lame|mpg123|libogg/) k = "ALSA, PulseAudio"
         else if (n ~ /\.tt[fc]$|\.otf$|fontconfig|freetype|harfbuzz/) k = "fonts"
         else if (n == "[heap]") k = "heap"
         else if (n == "[anon]") k = "anonymous (thread heaps, stacks, pictures)"
         else if (n ~ /memfd:xorg/) k = "X11 shared buffers"
         sum[k] += $2 }
       END { for (k in sum) print sum[k], k }'
}

"$build/bin/mirova" >/dev/null 2>&1 &
pid=$!
win=$(e2e_wait_window '^Savrel超级播放器$' 30)
sleep 3
by_mapping "/proc/$pid/smaps" >"$E2E_HOME/idle"
e2e_open_file "$win" "$file"
e2e_wait_window '^Savrel超级播放器-播放' 20 >/dev/null
sleep 5
by_mapping "/proc/$pid/smaps" >"$E2E_HOME/playing"
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
kill "$pid"
wait "$pid" 2>/dev/null || true

printf '%10s %10s  %s\n' "idle KiB" "play KiB" "kind (playing $(basename "$file"), peak $hwm KiB)"
join -t $'\t' -a1 -a2 -e 0 -o 0,1.2,2.2 \
  <(kind <"$E2E_HOME/idle" | awk '{ n = $1; $1 = ""; print substr($0, 2) "\t" n }' | sort) \
  <(kind <"$E2E_HOME/playing" | awk '{ n = $1; $1 = ""; print substr($0, 2) "\t" n }' | sort) |
  awk -F '\t' '{ printf "%10d %10d  %s\n", $2, $3, $1; a += $2; b += $3 } END { printf "%10d %10d  total\n", a, b }' |
  sort -k2 -n -r
echo
echo "grew most while playing (KiB):"
join -a1 -a2 -e 0 -o 0,1.2,2.2 <(sort "$E2E_HOME/idle") <(sort "$E2E_HOME/playing") |
  awk '{ printf "%+8d  %s\n", $3 - $2, $1 }' | sort -n -r | head -15
