#!/usr/bin/env bash
# Builds everything, makes a demo "kx.pac" with kxpack from the sample files in samples/demo,
# puts kx_setup.exe and the read-me beside it and starts the wizard under Wine (on Xvfb when
# there is no display).
#   scripts/run.sh          build, pack and start the wizard
#   scripts/run.sh --pack   build and pack only; the demo folder is build/demo-disc
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ "$(id -u)" = 0 ]; then bash scripts/setup-machine.sh; fi
bash scripts/build.sh win32 native win64

# The package tree: the sample files, and the demo program built for the Wine that runs here.
stage=build/demo-stage
disc=build/demo-disc
rm -rf "$stage" "$disc"
mkdir -p "$stage" "$disc"
cp -R samples/demo/files/. "$stage/"
cp build/win64/demo/korvex.exe "$stage/"
build/native/kxpack build samples/demo/manifest.txt "$stage" "$disc/kx.pac" --utf8
cp samples/demo/Readme.txt build/win64/kx_setup.exe "$disc/"
echo "demo folder: $disc"
if [ "${1:-}" = "--pack" ]; then exit 0; fi

scripts/with-wine.sh /usr/lib/wine/wine64 "$disc/kx_setup.exe"
