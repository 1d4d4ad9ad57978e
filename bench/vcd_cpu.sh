#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU and memory of mirova while it plays a Video CD image (drive D, the VCD
# button) and while it plays the same MPEG-1 file as a file, beside
# gst-play-1.0 playing that file to the same PulseAudio null sink in the
# same run. Usage: bench/vcd_cpu.sh [MIROVA_BINARY]
# (installs gst-play-1.0 when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin/mirova}
command -v gst-play-1.0 >/dev/null ||
  apt-get install -y -q --no-install-recommends gstreamer1.0-plugins-base-apps >/dev/null
exec "$root/tests/support/with_xvfb.sh" "$root/tests/support/with_pulse.sh" "$root/bench/vcd_cpu_inner.sh" "$bin"
