#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the tests need, builds the player and the tests twice (plain
# and with AddressSanitizer + UndefinedBehaviorSanitizer) and runs them all.
# The list soak (ctest label "soak", plain build only; 5 minutes, 20 with
# --long-soak, or MIROVA_SOAK_MINUTES) runs in the background from the plain
# build to the end, so it costs no time of its own.
# Usage: tools/test.sh [--long-soak]
set -euo pipefail
case "${1:-}" in
  --long-soak) export MIROVA_SOAK_MINUTES=20 ;;
  "") ;;
  *) echo "usage: tools/test.sh [--long-soak]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
# Each phase's wall time, printed as it ends and again at the end.
SECONDS=0 last=0 times=()
phase() { times+=("$(printf '%-22s %4d s' "$1" $((SECONDS - last)))"); echo "== ${times[-1]}"; last=$SECONDS; }
if [[ "${MIROVA_SKIP_DEPS:-0}" != 1 ]]; then
  "$root/tools/install-deps.sh" packages-run.txt packages-test.txt
fi
phase "installing packages"
jobs=$(nproc)
"$root/tools/check-format.sh"
# The tests are switched on explicitly: tools/run.sh configures the same build
# folder without them, and a cached "off" must not turn this into a run of
# nothing. For the same reason a run that finds no tests fails.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVA_TESTS=ON
cmake --build "$root/build" -j "$jobs"
phase "plain build"

# In a session of its own, so that an early failure below can end it whole.
rm -f "$root/build/soak.txt"
setsid bash -c 'cd "$1" && MIROVA_SOAK_REPORT="$1/soak.txt" ctest --output-on-failure --no-tests=error -L soak' \
  _ "$root/build" >"$root/build/soak.log" 2>&1 &
soak=$!
trap 'kill -- -"$soak" 2>/dev/null || true' EXIT

(cd "$root/build" && ctest --output-on-failure --no-tests=error -j "$jobs" -LE soak)
phase "plain tests"
# The Debian package, installed and tested end to end, then removed.
"$root/tools/test-package.sh" "$root/build"
phase "package"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVA_SANITIZE=ON -DMIROVA_TESTS=ON
cmake --build "$root/build-asan" -j "$jobs"
phase "sanitizer build"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --no-tests=error -j "$jobs" -LE no-sanitize)
phase "sanitizer tests"

echo "Waiting for the list soak to finish..."
status=0
wait "$soak" || status=$?
trap - EXIT
phase "waiting for the soak"
printf '%s\n' "${times[@]}" "$(printf '%-22s %4d s' total $SECONDS)"
cat "$root/build/soak.txt" 2>/dev/null || true
if ((status != 0)); then
  cat "$root/build/soak.log"
  exit "$status"
fi
