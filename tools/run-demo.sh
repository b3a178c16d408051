#!/usr/bin/env bash
# The tool's main job on an emulated machine: the Vardel window, run under Wine, over one drive
# seen as E: (LUN 0) and F: (LUN 1). Without a display it runs `vardelctl --emulate status`
# instead, which finds the same drive and prints the type of both LUNs.
set -euo pipefail
cd "$(dirname "$0")/.."

# Keeps a step quiet unless it fails, and then shows why.
quietly() {
  local log
  log="$(mktemp)"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

tools/install-deps.sh

if [ -z "${DISPLAY:-}" ]; then
  echo "No display (DISPLAY is not set): the Vardel window needs one. Running"
  echo "vardelctl --emulate status on the same emulated drive instead."
  echo
  quietly cmake --preset host
  quietly cmake --build --preset host --target vardelctl -j 2
  exec build/host/vardelctl --emulate status
fi

# The 32-bit program where this machine starts 32-bit programs, else the 64-bit one.
if ! reason=$(tools/wine32-runs.sh); then
  preset=win64
  echo "Showing the 64-bit program: this machine cannot start 32-bit programs ($reason)."
else
  preset=win32
fi

echo "Building VardelDemo.exe ($preset) ..."
quietly cmake --preset "$preset"
quietly cmake --build --preset "$preset" --target VardelDemo -j 2

echo "Preparing Wine ..."
source tools/wine-env.sh "$preset"

echo "VardelDemo: an emulated drive on E: (LUN 0, removable) and F: (LUN 1, fixed)."
echo "The status button (更改状态) shows both LUNs; the buttons on the right switch them."
echo "Close the window to end."
"$VARDEL_WINE" "build/$preset/VardelDemo.exe"
