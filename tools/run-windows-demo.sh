#!/usr/bin/env bash
# The Windows program on an emulated machine: VardelDemo.exe under Wine, over one drive seen as
# E: (LUN 0) and F: (LUN 1). It needs a display; tools/run-demo.sh shows the Linux window, also
# without one.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=tools/quietly.sh
source tools/quietly.sh

tools/install-deps.sh windows

if [ -z "${DISPLAY:-}" ]; then
  echo "No display (DISPLAY is not set): VardelDemo.exe needs one. tools/run-demo.sh runs the" >&2
  echo "Linux window on a virtual display and saves a screenshot of it." >&2
  exit 1
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
