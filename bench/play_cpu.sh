#!/bin/bash
# CPU and memory of mirova while it plays a 60-second MP3, beside mpv playing
# the same file to the same PulseAudio null sink in the same run.
# Usage: bench/play_cpu.sh [MIROVA_BINARY]   (installs mpv when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin/mirova}
command -v mpv >/dev/null || { apt-get install -y -q --no-install-recommends mpv >/dev/null; }
exec "$root/tests/support/with_xvfb.sh" "$root/tests/support/with_pulse.sh" "$root/bench/play_cpu_inner.sh" "$bin"
