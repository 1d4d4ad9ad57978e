#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package from a built tree, has lintian check it, installs
# it with apt-get as a user would, tests the installed player end to end and
# removes the package again, whether the test passed or not. As root, on a
# machine where no mirova package is installed yet.
# Usage: test-package.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if dpkg-query -W -f='${Status}' mirova 2>/dev/null | grep -q installed; then
  echo "test-package.sh: a mirova package is installed already; remove it first" >&2
  exit 1
fi
rm -f "$build"/mirova_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/mirova_*.deb)
# Debian's own checker: any error or warning fails the package.
echo "lintian $(basename "$deb"):"
lintian --fail-on error,warning "$deb" || { echo "test-package.sh: lintian found errors or warnings" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
trap 'apt-get remove -y -q --purge mirova >/dev/null 2>&1 || dpkg --purge mirova >/dev/null 2>&1 || true' EXIT
apt-get install -y -q --no-install-recommends "$deb"
support=$root/tests/support
"$support/with_xvfb.sh" "$support/with_pulse.sh" "$root/tests/e2e/test_installed.sh" \
  "$root/tests/install/expected_tree.txt"
