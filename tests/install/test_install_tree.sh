#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` into a DESTDIR under a prefix with a blank in it: nothing
# outside the prefix, files the desktop's own validators accept (the exact
# tree, icons and the manual page are the package test's), and the installed
# program, started through the bin/ link, finding its folder.
# Usage: test_install_tree.sh BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/../e2e/lib.sh"
build=$1
prefix="/opt/my apps"
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
pid=
root="$work/root$prefix"
DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
  || { fail "cmake --install: $(cat "$work/install.log")"; e2e_done; exit 1; }

[[ -z "$(find "$work/root" -mindepth 1 -maxdepth 1 ! -name opt)" ]] && pass "nothing installed outside the prefix" \
  || fail "outside the prefix: $(ls "$work/root")"

desktop="$root/share/applications/mirova.desktop"
out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$out" ]] && pass "desktop-file-validate" \
  || fail "desktop-file-validate: $out"
# The prefix's blank quoted, so the desktop runs the program and not "/opt/my".
grep -qxF 'Exec="/opt/my apps/bin/mirova" %F' "$desktop" && pass "desktop entry quotes the prefix" \
  || fail "desktop entry: $(grep '^Exec=' "$desktop")"

out=$(appstreamcli validate-tree --no-net "$root" 2>&1) && pass "appstreamcli validate-tree" \
  || fail "appstreamcli: $out"
MANWIDTH=200 man -l "$root/share/man/man1/mirova.1.gz" 2>/dev/null | grep -qF "/opt/my apps/lib/mirova/" \
  && pass "manual page names the installed program folder" || fail "manual page lacks the program folder"

# Started through the link, the program takes lib/mirova as its folder: that
# is the command it registers for audio CDs.
unset XDG_RUNTIME_DIR  # a lock of its own, whatever else runs
e2e_home
export XDG_DATA_DIRS="$E2E_HOME/none" QT_QPA_PLATFORM=offscreen
"$root/bin/mirova" >"$work/player.log" 2>&1 &
pid=$!
reg="$XDG_DATA_HOME/applications/mirova.desktop"
for _ in $(seq 100); do [[ -s "$reg" ]] && break; sleep 0.1; done
grep -qxF "Exec=\"$root/lib/mirova/mirova\"" "$reg" 2>/dev/null && pass "registered the program in lib/mirova" \
  || fail "registered: $(grep Exec "$reg" 2>&1); log: $(cat "$work/player.log")"
kill $pid; wait $pid 2>/dev/null
rm -rf "$E2E_HOME"
e2e_done
