# shellcheck shell=bash
# Sourced by the demo scripts: `quietly COMMAND...` keeps a step quiet unless it fails, and then
# shows why.
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
