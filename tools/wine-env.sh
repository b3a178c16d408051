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
vardel_prepare_wine_prefix() {
  local ready="$WINEPREFIX/.vardel-ready"
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
    touch "$ready"
  ) 9>"$WINEPREFIX.lock" || {
    echo "wine-env.sh: could not prepare the Wine prefix $WINEPREFIX" >&2
    return 1
  }
}
vardel_prepare_wine_prefix
