#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command against a private PulseAudio daemon whose default sink is a
# null sink named "mirova_test"; its monitor can be recorded to prove sound.
# Usage: with_pulse.sh COMMAND [ARGS...]
set -euo pipefail
start_daemon() {
  # Without shared memory: Debian 12's daemon sometimes aborts (an assertion
  # in memblock.c after "non-registered memfd ID") when clients come and go
  # quickly, and every test after that hears nothing. Sound over the socket
  # is the same sound.
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit --use-pid-file=yes --disable-shm=yes \
    --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" \
    -L "module-native-protocol-unix auth-anonymous=1" \
    -L "module-null-sink sink_name=mirova_test rate=44100 channels=2" \
    -L "module-always-sink" >/dev/null 2>&1
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink mirova_test
}
rt=$(mktemp -d /tmp/mirova-pulse.XXXXXX)
chmod 700 "$rt"
export XDG_RUNTIME_DIR="$rt" PULSE_RUNTIME_PATH="$rt/pulse" HOME="${HOME:-$rt}"
cleanup() {
  # A daemon that ended under the command's feet says why.
  pulseaudio --check 2>/dev/null || tail -n 20 "$rt/pulse.log" >&2 2>/dev/null || true
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$rt"
}
trap cleanup EXIT
start_daemon
export PULSE_SERVER="unix:$rt/pulse/native"
"$@"
