# shellcheck shell=bash
# Sourced: a Wine prefix of the project's own under build/, made once, quiet and without the crash
# dialog, so that Windows programs and tests run unattended. A WINEPREFIX set beforehand is used
# (and made) instead.
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win32

# The prefix counts as made only once all steps have succeeded, so that a run cut short (time-out,
# full disk) is repaired by the next one rather than leaving a prefix whose crash dialog would wait
# for a click that never comes. Several shells may source this at once: one makes the prefix, the
# others wait for it.
# Fonts, so that the windows show their Chinese texts:
# - the interface fonts link to WenQuanYi Micro Hei, as a Chinese Windows links them to its own CJK
#   fonts, and that font stands in for the faces the dialogs name;
# - Marlett, which draws the caption buttons, comes with Wine (Debian package fonts-wine) but this
#   Wine does not look in its Debian folder; it does in the prefix's Fonts folder. Only Marlett:
#   Wine's own Tahoma there would take the place of the linked one and lose the Chinese glyphs in
#   bold captions.
vardel_link_fonts() {
  local cjk="WenQuanYi Micro Hei"
  local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local face
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
  fi
  for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
    timeout 120 wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,$cjk" /f \
      >/dev/null 2>&1 || return 1
  done
  # Wine reads a Unix command line in the locale's character set.
  for face in "新細明體" "Arial Unicode MS"; do
    LC_ALL=C.UTF-8 timeout 120 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v "$face" /d "$cjk" /f >/dev/null 2>&1 || return 1
  done
  timeout 120 wineserver -w
}

vardel_prepare_wine_prefix() {
  local ready="$WINEPREFIX/.vardel-prefix-ready"
  [ -f "$ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    # Each step checks its own result: `set -e` does not act inside a list tested with `||`.
    flock -w 900 9 || { echo "wine-env.sh: waited 900 s for $WINEPREFIX.lock" >&2; exit 1; }
    [ -f "$ready" ] && exit 0
    echo "wine-env.sh: preparing the Wine prefix $WINEPREFIX" >&2
    timeout 300 wineboot --init >/dev/null 2>&1 || echo "wine-env.sh: wineboot --init ended with $?" >&2
    timeout 300 wineserver -w || exit 1
    # A crashing program then prints its backtrace and ends instead of showing a dialog.
    timeout 120 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 || exit 1
    timeout 120 wineserver -w || exit 1
    grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" || exit 1
    vardel_link_fonts || exit 1
    touch "$ready"
  ) 9>"$WINEPREFIX.lock" || {
    echo "wine-env.sh: could not prepare the Wine prefix $WINEPREFIX" >&2
    return 1
  }
}
vardel_prepare_wine_prefix
