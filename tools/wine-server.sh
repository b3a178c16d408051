#!/usr/bin/env bash
# Starts or stops the one Wine server that the tests sharing a prefix run their programs on, for
# the prefix that the environment names (WINEPREFIX, WINEARCH, WINELOADER, WINESERVER: see
# wine-env.sh). Usage: wine-server.sh start|stop
#
# Why the tests do not leave the server to Wine: Wine starts it through Debian's wrapper, which
# asks it to end as soon as its last program has ended (-p0). Programs of tests that run side by
# side, or one after another, then keep meeting a server that is booting or shutting down. One
# that connects in the moment between the last program's end and the server closing its socket
# is cut off ("wine client error:0: recvmsg: Connection reset by peer") and exits with 1 without
# having run. The server and the programs it boots with (services, desktop) also keep the
# standard error of whichever program started them, so a test that captures a program's output
# waits for the whole server to end, each time: a second and a half per run.
#
# `start` ends a server that an interrupted run left behind, starts one that outlives every gap
# between the tests' programs, and boots the prefix in it, with all their output going to a log
# beside the prefix rather than to a test's. `stop` ends it once no test uses it.
set -euo pipefail

for variable in WINEPREFIX WINEARCH WINELOADER WINESERVER; do
  if [ -z "${!variable:-}" ]; then
    echo "wine-server.sh: $variable is not set (source tools/wine-env.sh first)" >&2
    exit 1
  fi
done
log="$WINEPREFIX.server.log"
# Longer than any test may take, so that a server whose stop never came ends by itself.
persistence=900

stop_server() {
  # Ending a server that is not there fails; only the wait tells whether one is left.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  timeout 60 "$WINESERVER" -w \
    || { echo "wine-server.sh: the Wine server of $WINEPREFIX did not end within 60 s" >&2; return 1; }
}

case "${1:-}" in
  start)
    [ -f "$WINEPREFIX/system.reg" ] \
      || { echo "wine-server.sh: $WINEPREFIX is not a Wine prefix (tools/wine-prefix.sh makes it)" >&2; exit 1; }
    stop_server
    : >"$log"
    status=0
    "$WINESERVER" "-p$persistence" </dev/null >>"$log" 2>&1 || status=$?
    if [ $status -ne 0 ]; then
      echo "wine-server.sh: the Wine server of $WINEPREFIX did not start (status $status):" >&2
      cat "$log" >&2
      exit 1
    fi
    # Any program boots the prefix; this one does nothing else.
    if ! timeout 120 "$WINELOADER" cmd.exe /c exit 0 </dev/null >>"$log" 2>&1; then
      echo "wine-server.sh: the prefix $WINEPREFIX did not boot:" >&2
      cat "$log" >&2
      exit 1
    fi
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
