#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages named in the given lists (as root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pkgs=()
for list in "$@"; do
  while read -r p; do [[ -z "$p" || "$p" == \#* ]] || pkgs+=("$p"); done <"$here/$list"
done
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${pkgs[@]}"
