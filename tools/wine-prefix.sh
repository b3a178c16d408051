#!/usr/bin/env bash
# Makes the Wine prefix that the environment names (WINEPREFIX, WINEARCH, WINELOADER, WINESERVER:
# see wine-env.sh) ready for unattended runs: quiet, without the crash dialog, with fonts that show
# the windows' Chinese texts. With --screen also for windows on a display without a window manager.
# Does nothing for a prefix that is ready. Usage: wine-prefix.sh [--screen]
set -euo pipefail

for variable in WINEPREFIX WINEARCH WINELOADER WINESERVER; do
  if [ -z "${!variable:-}" ]; then
    echo "wine-prefix.sh: $variable is not set (source tools/wine-env.sh first)" >&2
    exit 1
  fi
done
if [ ! -x "$WINELOADER" ]; then
  echo "wine-prefix.sh: the Wine loader $WINELOADER is missing (run tools/install-deps.sh)" >&2
  exit 1
fi
screen=0
[ "${1:-}" = "--screen" ] && screen=1

server_wait() {
  timeout "${1:-120}" "$WINESERVER" -w
}
# The next program starts only once this one's server has ended: Wine's server here ends as soon
# as its last program has, and a program that meets it shutting down may be cut off before it
# runs (see wine-server.sh).
wine_quietly() {
  timeout 120 "$WINELOADER" "$@" >/dev/null 2>&1 && server_wait
}

# Fonts, so that the windows show their Chinese texts:
# - the interface fonts link to WenQuanYi Micro Hei, as a Chinese Windows links them to its own CJK
#   fonts, and that font stands in for the faces the dialogs name;
# - Marlett, which draws the caption buttons, comes with Wine (Debian package fonts-wine) but this
#   Wine does not look in its Debian folder; it does in the prefix's Fonts folder. Only Marlett:
#   Wine's own Tahoma there would take the place of the linked one and lose the Chinese glyphs in
#   bold captions.
link_fonts() {
  local cjk="WenQuanYi Micro Hei"
  local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local face
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
  fi
  for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine_quietly reg add "$link" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,$cjk" /f || return 1
  done
  # Wine reads a Unix command line in the locale's character set.
  for face in "新細明體" "Arial Unicode MS"; do
    LC_ALL=C.UTF-8 wine_quietly reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v "$face" /d "$cjk" /f || return 1
  done
}

make_prefix() {
  echo "wine-prefix.sh: preparing the $WINEARCH Wine prefix $WINEPREFIX" >&2
  timeout 300 "$WINELOADER" wineboot.exe --init >/dev/null 2>&1 \
    || echo "wine-prefix.sh: wineboot --init ended with $?" >&2
  server_wait 300 || return 1
  # A crashing program then prints its backtrace and ends instead of showing a dialog.
  wine_quietly reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || return 1
  grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" || return 1
  link_fonts
}

# Windows unmanaged by a window manager (there is none on Xvfb): Wine then draws their frames and
# captions itself, and no longer waits two seconds for a window manager's answer each time a window
# goes away.
prepare_screen() {
  wine_quietly reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
}

# Each step counts as done only once it has succeeded, so that a run cut short (time-out, full
# disk) is repaired by the next one rather than leaving a prefix whose crash dialog would wait for
# a click that never comes. Several processes may ask at once: one works, the others wait.
ready="$WINEPREFIX/.vardel-prefix-ready"
screen_ready="$WINEPREFIX/.vardel-screen-ready"
[ -f "$ready" ] && { [ $screen -eq 0 ] || [ -f "$screen_ready" ]; } && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock -w 900 9 || { echo "wine-prefix.sh: waited 900 s for $WINEPREFIX.lock" >&2; exit 1; }
if [ ! -f "$ready" ]; then
  make_prefix || { echo "wine-prefix.sh: could not prepare the Wine prefix $WINEPREFIX" >&2; exit 1; }
  touch "$ready"
fi
if [ $screen -eq 1 ] && [ ! -f "$screen_ready" ]; then
  prepare_screen || { echo "wine-prefix.sh: could not set up $WINEPREFIX for the screen" >&2; exit 1; }
  touch "$screen_ready"
fi
