#!/usr/bin/env bash
# Renders every page of the wizard and its main message boxes at 100, 150 and 200 % (96, 144 and
# 192 DPI) into docs/*.png, docs/150/*.png and docs/200/*.png: the real program, driven by the
# end-to-end driver, under Xvfb in a Wine virtual desktop that draws real window frames, with the
# Japanese fonts of the machine. The prefix is the one that the DPI test sets to each scale.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/run.sh --pack
source scripts/suite-build.sh
export KX_SHOTS_PACKAGE="Z:${root//\//\\}\\build\\demo-disc\\kx.pac"
for dpi in 96 144 192; do
  percent=$((dpi * 100 / 96))
  out=docs
  [ "$percent" = 100 ] || out=docs/$percent
  shots="$root/build/shots/$percent"
  rm -rf "$shots"
  mkdir -p "$shots" "$out"
  # Always on a fresh Xvfb, so no window of the user's display gets into the pictures; the
  # desktop is as large in inches at every scale.
  KX_SHOTS="Z:${shots//\//\\}" KX_WINE_STATE=$root/build/wine-scaled KX_WINE_DPI=$dpi env -u DISPLAY \
    scripts/with-wine.sh /usr/lib/wine/wine64 explorer "/desktop=KorvantoShots,$((1024 * dpi / 96))x$((768 * dpi / 96))" \
    "build/$suite/tests/kx_tests_e2e.exe" --gtest_also_run_disabled_tests --gtest_filter='PagePictures.*'
  count=$(find "$shots" -name '*.bmp' | wc -l)
  [ "$count" -ge 8 ] || { echo "screenshots: only $count pictures were taken at $dpi DPI" >&2; exit 1; }
  python3 scripts/bmp2png.py "$out" "$shots"/*.bmp
done
