#!/usr/bin/env bash
# Configures and builds one preset: win64 (tested under Wine), win32 (shipped) or native (kxpack).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
for preset in "$@"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
