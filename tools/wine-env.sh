# shellcheck shell=bash
# Sourced: `source tools/wine-env.sh [win32|win64] [PREFIX]`. Sets up the Wine of one architecture,
# with its loader and server named explicitly (the `wine` wrapper takes the 32-bit loader whenever
# wine32 is installed, even on a machine that cannot start it), and a prefix of the project's own
# under build/, made once. Without an architecture: win32 where this machine starts 32-bit
# programs, else win64. VARDEL_WINE is the loader to start programs with.
vardel_tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ -n "${1:-}" ]; then
  export WINEARCH=$1
elif "$vardel_tools/wine32-runs.sh" >/dev/null; then
  export WINEARCH=win32
else
  export WINEARCH=win64
fi
case "$WINEARCH" in
  win32) export WINELOADER=/usr/lib/wine/wine ;;
  win64) export WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "wine-env.sh: unknown architecture $WINEARCH (win32 or win64)" >&2; return 1 ;;
esac
export WINEPREFIX="${2:-${WINEPREFIX:-$(dirname "$vardel_tools")/build/wine-prefix-$WINEARCH}}"
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || export WINESERVER=/usr/lib/wine/wineserver32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export VARDEL_WINE=$WINELOADER
"$vardel_tools/wine-prefix.sh"
