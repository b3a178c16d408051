#!/usr/bin/env bash
# Runs a command on a virtual X display of its own, in the Wine prefix that the environment names
# (WINEPREFIX, WINEARCH, WINELOADER, WINESERVER: see tools/wine-env.sh), which only this kind of
# run uses. Usage: run-on-virtual-display.sh COMMAND [ARGUMENT...]
#
# Why a prefix of its own: all programs of one prefix share one Wine server, and that server keeps
# the display its first program found. A server still serving the other tests (started without a
# display, as in CI) would leave the windows of this run without a screen, and ending this run's
# display would pull it from under them. The windows never land on a developer's own desktop.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

command -v Xvfb >/dev/null || { echo "$0: Xvfb is missing (Debian package xvfb)" >&2; exit 1; }

# Made beforehand by the test set-up; this only checks, unless the script runs by hand.
"$root/tools/wine-prefix.sh" --screen

# One run at a time per prefix: two would share a server and so a display.
exec 8>"$WINEPREFIX.run.lock"
flock -w 240 8 || { echo "$0: waited 240 s for another run on $WINEPREFIX" >&2; exit 1; }
unset DISPLAY

# A server left by an earlier run or by making the prefix would keep its old display.
timeout 60 "$WINESERVER" -w \
  || { echo "$0: the Wine server of $WINEPREFIX did not end within 60 s" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  # Wine's own processes of this prefix end before their display goes away; the server belongs
  # to this run alone (see the lock), so ending it by force harms no one else.
  timeout 30 "$WINESERVER" -w || "$WINESERVER" -k || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 300); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "$0: Xvfb ended at start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "$0: waited 30 s for Xvfb to give its display number" >&2
  exit 1
fi
display=$(head -n 1 "$work/display")
export DISPLAY=":$display"

status=0
"$@" || status=$?
exit "$status"
