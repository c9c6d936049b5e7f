#!/usr/bin/env bash
# Everything CI checks, from a fresh clone: machine set-up, formatting, the shipped i686 build,
# the Linux package tool, and every test of the x86_64 build under Wine.
#   scripts/test.sh                 all of it
#   scripts/test.sh -R PATTERN      only the ctest tests whose names match
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [ "$(id -u)" = 0 ]; then bash scripts/setup-machine.sh; fi
bash scripts/check-format.sh
bash scripts/build.sh win32 native win64
file build/win32/kx_setup.exe | grep -q 'PE32 executable (GUI) Intel 80386' ||
  { echo "build/win32/kx_setup.exe is not a 32-bit GUI program" >&2; exit 1; }
ctest --test-dir build/native --output-on-failure "$@"
# One test at a time: tests share the Wine user profile (Desktop, application data, the mutex).
scripts/with-wine.sh ctest --test-dir build/win64 --output-on-failure "$@" </dev/null
