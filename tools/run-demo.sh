#!/usr/bin/env bash
# The tool's main job on an emulated machine: the Vardel window (vardel, Qt 6) over one drive seen
# as E: (LUN 0, removable) and F: (LUN 1, fixed). With a display the window opens there. Without
# one it runs on a virtual display (Xvfb), presses the status button, saves a screenshot of the
# window and says where it is. The window never runs as root: under sudo it runs as the user who
# called sudo, as plain root as nobody; the emulated drive needs no rights.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=tools/quietly.sh
source tools/quietly.sh

# Only what the window needs; the tests, the Windows builds and the fuzzers ask for their own.
tools/install-deps.sh window

# The host tree, configured once, and in it only the vardel target and the libraries beneath it.
echo "Building vardel ..."
[ -f build/host/CMakeCache.txt ] || quietly cmake --preset host
quietly cmake --build --preset host --target vardel -j 2

screenshots=build/host/screenshots
mkdir -p "$screenshots"
program=build/host/vardel
run_as=()
work=""
if [ "$(id -u)" -eq 0 ]; then
  user=nobody
  if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then user=$SUDO_USER; fi
  echo "Running the window as $user, not as root."
  # The program and its files go to a folder of that user's, wherever the tree is; so does the
  # journal of the demo's changes (nobody has no home to keep it in).
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  install -m 0755 "$program" "$work/vardel"
  install -d -m 0700 "$work/runtime" "$work/state"
  chown -R "$user" "$work"
  chmod 0755 "$work"
  program=$work/vardel
  run_as=(setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups --reset-env
          env XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state")
  if [ -n "${DISPLAY:-}" ]; then
    # The display's cookie, for the other user.
    xauth nlist "$DISPLAY" 2>/dev/null \
      | "${run_as[@]}" xauth -f "$work/Xauthority" nmerge - 2>/dev/null || true
    run_as+=(DISPLAY="$DISPLAY" XAUTHORITY="$work/Xauthority")
  fi
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "vardel: an emulated drive on E: (LUN 0, removable) and F: (LUN 1, fixed)."
  echo "The status button (更改状态) shows both LUNs; the buttons on the right switch them, and"
  echo "Enter writes both type bytes. Close the window to end."
  "${run_as[@]}" "$program" --emulate
  exit
fi

echo "No display (DISPLAY is not set): running the window on a virtual display (Xvfb)."
shot=$screenshots/vardel-demo.png
taken=${work:+$work/vardel-demo.png}
taken=${taken:-$shot}
"${run_as[@]}" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$program" --emulate --screenshot-after-status="$taken"
[ "$taken" = "$shot" ] || cp "$taken" "$shot"
echo "The window after the status button (Lun0: Removable, Lun1: Fixed Disk) is in $shot"
