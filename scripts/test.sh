#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Extra arguments go to ctest (-L gui, -R Format...).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh" Debug
export QT_QPA_PLATFORM=offscreen
cd "$root/build/debug"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" "$@"
