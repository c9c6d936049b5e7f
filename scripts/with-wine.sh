#!/usr/bin/env bash
# Runs one command in the project's Wine environment and tears down what it started.
#   scripts/with-wine.sh COMMAND [ARGS...]
# Wine keeps its prefix and its idea of $HOME inside the build tree (KX_WINE_STATE,
# default build/wine), so nothing lands in the real home; the code page is 932; a
# persistent wineserver makes each process start in milliseconds; an Xvfb display is
# started when none is set. Both are stopped by process id when the command ends.
# KX_WINE_DPI (96, 144 or 192) sets the prefix's display scale before the command runs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
state=${KX_WINE_STATE:-$root/build/wine}
mkdir -p "$state/home"

export WINEPREFIX="$state/prefix"
export HOME="$state/home"
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
# No .desktop files for shortcuts, and no prompts for components we never use.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

xvfb_pid=""
server_pid=""

cleanup() {
  set +e
  if [ -n "$server_pid" ]; then stop_server; fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

# A screen of 1024 x 768 pixels at 96 DPI, as large in inches at any other DPI.
start_xvfb() {
  local n scale=${KX_WINE_DPI:-96}
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "$((1024 * scale / 96))x$((768 * scale / 96))x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        # For a caller that shows the user where the windows are (scripts/run.sh).
        if [ -n "${KX_DISPLAY_FILE:-}" ]; then echo "$DISPLAY" >"$KX_DISPLAY_FILE"; fi
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
  done
  echo "with-wine: could not start Xvfb" >&2
  return 1
}

# The prefix links these folders into $HOME when it is made; the program writes shortcuts
# there, so they must be plain folders inside the prefix.
make_real_user_folders() {
  local users="$WINEPREFIX/drive_c/users/$(id -un)" d
  for d in Desktop Documents Downloads Music Pictures Videos Templates; do
    if [ -L "$users/$d" ]; then rm -f "$users/$d"; fi
    mkdir -p "$users/$d"
  done
}

# The templates ask for the proportional "ＭＳ Ｐゴシック"; its free twin IPAPGothic is as wide, so
# every text takes the room on the page that the templates give it.
use_proportional_gothic() {
  if [ ! -f "$WINEPREFIX/.kx-fonts" ]; then
    "$WINELOADER" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f \
      >/dev/null 2>&1 </dev/null && touch "$WINEPREFIX/.kx-fonts"
  fi
}

# Wine draws the title-bar buttons with the Marlett font; without it they show as "0 1 r".
# Debian's fonts-wine ships it where Wine 8 as packaged here does not look: a copy in the
# prefix's font folder does.
install_marlett() {
  local font=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$font" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$font" "$fonts/"; fi
}

init_prefix() {
  if [ ! -f "$WINEPREFIX/.kx-ready" ]; then
    # wineboot's services inherit and hold stdout/stderr: send them elsewhere.
    "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null || true
    # Without a window manager each closed window stalls its thread; unmanaged windows do not.
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    make_real_user_folders
    touch "$WINEPREFIX/.kx-ready"
  else
    # Start the prefix's services now, with their output discarded, so that they never
    # inherit (and hold open) the pipes of the command below.
    "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null || true
    make_real_user_folders
  fi
}

start_server() {
  "$WINESERVER" -f -p >/dev/null 2>&1 </dev/null &
  server_pid=$!
}

stop_server() {
  "$WINESERVER" -k >/dev/null 2>&1
  for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}

# Wine takes the DPI from LogPixels, in two places, and reads it when its server starts: the
# server is started anew after a change. A server stopped soon after a change was seen to lose it
# (a new prefix, a loaded machine: the test then found 96 DPI and a fixed-pitch font), so the new
# server is asked for the values, and the change made again when they are not there. The prefix
# remembers the DPI it was last given.
display_keys=('HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts')
set_display_scale() {
  local dpi=${KX_WINE_DPI:-} key attempt
  [ -n "$dpi" ] || return 0
  [ "$(cat "$WINEPREFIX/.kx-dpi" 2>/dev/null)" != "$dpi" ] || return 0
  for attempt in 1 2 3; do
    for key in "${display_keys[@]}"; do
      "$WINELOADER" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null ||
        { echo "with-wine: cannot set LogPixels to $dpi" >&2; return 1; }
    done
    rm -f "$WINEPREFIX/.kx-fonts"
    use_proportional_gothic
    stop_server
    start_server
    "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null || true
    if display_scale_is "$dpi"; then
      echo "$dpi" >"$WINEPREFIX/.kx-dpi"
      return 0
    fi
    echo "with-wine: the display scale did not stay at $dpi DPI (attempt $attempt of 3)" >&2
  done
  return 1
}

# Whether the running server has both LogPixels at DPI and the proportional font's replacement.
display_scale_is() {
  local want key
  want=$(printf '0x%x' "$1")
  for key in "${display_keys[@]}"; do
    "$WINELOADER" reg query "$key" /v LogPixels </dev/null 2>/dev/null | tr -d '\r' | grep -q "LogPixels .* $want\$" ||
      return 1
  done
  "$WINELOADER" reg query 'HKCU\Software\Wine\Fonts\Replacements' </dev/null 2>/dev/null | grep -aq IPAPGothic
}
# A 64-bit prefix runs 32-bit programs only when it was made with wine32 installed (it then has
# syswow64); Wine never adds that later, so a prefix made without it is made anew.
if [ -x /usr/lib/wine/wine ] && [ -d "$WINEPREFIX/drive_c/windows" ] &&
  [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  rm -rf "$WINEPREFIX"
fi

[ -n "${DISPLAY:-}" ] || start_xvfb
mkdir -p "$WINEPREFIX"
start_server
init_prefix
install_marlett
use_proportional_gothic
set_display_scale || exit 1

set +e
"$@"
rc=$?
exit $rc
