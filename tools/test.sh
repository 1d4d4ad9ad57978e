#!/bin/bash
# Installs what the tests need, builds the player and the tests twice (plain
# and with AddressSanitizer + UndefinedBehaviorSanitizer) and runs them all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ "${MIROVA_SKIP_DEPS:-0}" != 1 ]]; then
  "$root/tools/install-deps.sh" packages-run.txt packages-test.txt
fi
jobs=$(nproc)
"$root/tools/check-format.sh"
# The tests are switched on explicitly: tools/run.sh configures the same build
# folder without them, and a cached "off" must not turn this into a run of
# nothing. For the same reason a run that finds no tests fails.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVA_TESTS=ON
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure --no-tests=error -j "$jobs")
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVA_SANITIZE=ON -DMIROVA_TESTS=ON
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --no-tests=error -j "$jobs" -LE no-sanitize)
