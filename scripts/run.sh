#!/usr/bin/env bash
# Builds everything and starts the setup program under Wine (on Xvfb when there is no display).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ "$(id -u)" = 0 ]; then bash scripts/setup-machine.sh; fi
bash scripts/build.sh win32 native win64
scripts/with-wine.sh /usr/lib/wine/wine64 build/win64/kx_setup.exe
