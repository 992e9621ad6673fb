#!/bin/sh
# Runs one Windows test program of the user interface under Wine on a screen
# of its own: an X server (Xvfb, 1280x1024) for this run only, and a Wine
# prefix kept for the user-interface tests at one resolution. The prefix is
# made on first use: the screen's dpi, windows that no window manager needs
# to place (there is none), and Wine's Tahoma where Windows has its own.
#   run_ui_test.sh PREFIX DPI WINE PROGRAM [ARGUMENTS...]
set -eu
prefix=$1 dpi=$2 wine=$3
shift 3
export WINEPREFIX="$prefix" WINEDEBUG=-all PX_UI_DPI="$dpi" PX_WINE="$wine"
PX_WINESERVER="$(dirname "$wine")/wineserver"
export PX_WINESERVER
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  set -eu
  if [ ! -f "$WINEPREFIX/px-ui-ready" ]; then
    mkdir -p "$WINEPREFIX"
    "$PX_WINE" wineboot --init >/dev/null 2>&1
    "$PX_WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
    "$PX_WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$PX_UI_DPI" /f >/dev/null 2>&1
    "$PX_WINESERVER" -w
    for font in /usr/share/wine/fonts/tahoma*.ttf /usr/share/fonts/truetype/wine/tahoma*.ttf; do
      if [ -f "$font" ]; then cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"; fi
    done
    touch "$WINEPREFIX/px-ui-ready"
  fi
  status=0
  "$PX_WINE" "$@" || status=$?
  "$PX_WINESERVER" -k 2>/dev/null || true
  exit $status
' run_ui_test "$@"
