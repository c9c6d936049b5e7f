#!/usr/bin/env bash
# Configures and builds presets: win64 (tested under Wine), win32 (shipped) or native (kxpack),
# each whole or, after a colon, only the targets named.
#   scripts/build.sh win64 win32 native
#   scripts/build.sh win32:kx_setup,korvex native:kxpack
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
for request in "$@"; do
  preset=${request%%:*}
  targets=()
  if [[ $request == *:* ]]; then
    IFS=, read -ra names <<<"${request#*:}"
    targets=(--target "${names[@]}")
  fi
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}"
done
