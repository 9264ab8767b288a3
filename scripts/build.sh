#!/usr/bin/env bash
# Configures and builds into build/<type> (Release by default). Usage: scripts/build.sh [Release|Debug]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
type="${1:-Release}"
dir="$root/build/$(echo "$type" | tr 'A-Z' 'a-z')"
jobs="$(nproc 2>/dev/null || echo 2)"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
fi
cmake --build "$dir" -j "$jobs"
