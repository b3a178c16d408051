# Sourced: a Wine prefix of the project's own under build/, made once, quiet and without the crash
# dialog, so that Windows programs and tests run unattended.
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win32

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 wineboot --init >/dev/null 2>&1 || true
  timeout 300 wineserver -w || true
  timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
fi
