#!/usr/bin/env bash
# Renders every page of the wizard and its main message boxes into docs/*.png: the real
# program, driven by the end-to-end driver, under Xvfb in a Wine virtual desktop that draws
# real window frames, with the Japanese fonts of the machine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/run.sh --pack
source scripts/suite-build.sh
shots="$root/build/shots"
rm -rf "$shots"
mkdir -p "$shots" docs
export KX_SHOTS="Z:${shots//\//\\}"
export KX_SHOTS_PACKAGE="Z:${root//\//\\}\\build\\demo-disc\\kx.pac"
# Always on a fresh Xvfb, so no window of the user's display gets into the pictures.
env -u DISPLAY scripts/with-wine.sh /usr/lib/wine/wine64 explorer /desktop=KorvantoShots,1024x768 \
  "build/$suite/tests/kx_tests_e2e.exe" --gtest_also_run_disabled_tests --gtest_filter='PagePictures.*'
count=$(find "$shots" -name '*.bmp' | wc -l)
[ "$count" -ge 8 ] || { echo "screenshots: only $count pictures were taken" >&2; exit 1; }
python3 scripts/bmp2png.py docs "$shots"/*.bmp
