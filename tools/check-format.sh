#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ file of ours is not formatted as .clang-format says.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests tools bench -name '*.cpp' -o -name '*.h')
[[ -z "$files" ]] || clang-format --dry-run --Werror $files
