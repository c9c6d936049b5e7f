#!/usr/bin/env bash
# Starts a Windows test program under wine64's loader, as ctest's emulator. Under load, wine64 was
# seen to exit at once without starting the program (in 2 of several thousand test starts: no
# line printed, 0.00 s). A test program always prints its first line before anything else, so a
# start that printed nothing and failed is not a test's result: it is said, with wine64's exit
# code, and made once more. Any other failure is the test's own.
#   scripts/wine-test.sh PROGRAM.exe [ARGS...]
set -u
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for attempt in 1 2; do
  /usr/lib/wine/wine64 "$@" 2>&1 | tee "$output"
  rc=${PIPESTATUS[0]}
  if [ "$rc" = 0 ] || [ -s "$output" ] || [ "$attempt" = 2 ]; then exit "$rc"; fi
  echo "wine-test: wine64 exited with $rc before $1 printed anything; starting it once more" >&2
done
