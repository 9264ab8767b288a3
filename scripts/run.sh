#!/usr/bin/env bash
# Installs what is missing, builds and starts the program. Usage: scripts/run.sh [FILE]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh" Release
exec "$root/build/release/app/atelier" "$@"
