#!/usr/bin/env bash
# Builds the setup program, makes a demo "kx.pac" with kxpack from the sample files in samples/demo,
# puts the shipped i686 kx_setup.exe and the read-me beside it and starts the wizard under Wine
# (on a machine that cannot run 32-bit programs the x86_64 build, and it says so).
# On a machine without a display the wizard runs on a virtual one (Xvfb), and this script says
# how to see it and how to end it.
#   scripts/run.sh                 build, pack and start the wizard
#   scripts/run.sh --pack          build and pack only; the demo folder is build/demo-disc
#   scripts/run.sh --picture FILE  writes a PNG picture of the virtual display as it is now
#   scripts/run.sh --stop          ends the wizard that runs on the virtual display
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
state=build/demo-run

# Ends every program of the project's prefix; with-wine.sh then takes its display down.
end_wizard() {
  WINEPREFIX="$root/build/wine/prefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}

case "${1:-}" in
  --picture)
    [ -n "${2:-}" ] || { echo "usage: scripts/run.sh --picture FILE.png" >&2; exit 2; }
    [ -s "$state/display" ] || { echo "no wizard runs on a virtual display" >&2; exit 1; }
    xwd -root -silent -display "$(cat "$state/display")" >"$state/screen.xwd"
    python3 scripts/xwd2png.py "$state/screen.xwd" "$2"
    rm -f "$state/screen.xwd"
    echo "picture of $(cat "$state/display") written to $2"
    exit 0
    ;;
  --stop)
    [ -s "$state/display" ] || { echo "no wizard runs on a virtual display" >&2; exit 1; }
    end_wizard
    echo "wizard ended"
    exit 0
    ;;
esac

if [ "$(id -u)" = 0 ]; then bash scripts/setup-machine.sh; fi
source scripts/suite-build.sh
# Only what it starts: the program, the demo application and the package tool; the tests are
# the test command's.
bash scripts/build.sh "$suite:kx_setup,korvex" native:kxpack

# The package tree: the sample files, and the demo program built for the Wine that runs here.
stage=build/demo-stage
disc=build/demo-disc
rm -rf "$stage" "$disc"
mkdir -p "$stage" "$disc"
cp -R samples/demo/files/. "$stage/"
cp "build/$suite/demo/korvex.exe" "$stage/"
build/native/kxpack build samples/demo/manifest.txt "$stage" "$disc/kx.pac" --utf8
cp samples/demo/Readme.txt "build/$suite/kx_setup.exe" "$disc/"
echo "demo folder: $disc"
if [ "${1:-}" = "--pack" ]; then exit 0; fi
not_shipped_note "the wizard it starts is the x86_64 build: the shipped i686 kx_setup.exe is NOT run here."

if [ -n "${DISPLAY:-}" ]; then
  exec scripts/with-wine.sh /usr/lib/wine/wine64 "$disc/kx_setup.exe"
fi

mkdir -p "$state"
rm -f "$state/display"
KX_DISPLAY_FILE="$root/$state/display" scripts/with-wine.sh /usr/lib/wine/wine64 "$disc/kx_setup.exe" &
wizard=$!
trap 'rm -f "$state/display"' EXIT
# A command started in the background of a script ignores Ctrl+C: pass it on.
trap 'end_wizard' INT TERM
for _ in $(seq 200); do [ -s "$state/display" ] && break; sleep 0.05; done
cat <<TEXT
This machine has no display: the wizard runs on the virtual display $(cat "$state/display" 2>/dev/null) (Xvfb).
  To see it:  bash scripts/run.sh --picture wizard.png   (a picture of the display as it is now)
  To end it:  bash scripts/run.sh --stop                 (from another shell), or Ctrl+C here
This command returns when the wizard ends.
TEXT
wait "$wizard" || true
