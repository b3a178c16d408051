#!/usr/bin/env bash
# Exits 0 when this machine can start the 32-bit Wine loader. Some kernels refuse 32-bit programs
# altogether, whatever packages are installed, so the only sure test is to start one. Otherwise
# prints why on standard output and exits 1.
loader=/usr/lib/wine/wine
if [ ! -x "$loader" ]; then
  echo "$loader is not installed (Debian package wine32:i386)"
  exit 1
fi
if ! output=$(timeout 60 "$loader" --version 2>&1); then
  echo "$loader does not start: $(printf '%s' "$output" | head -n 1)"
  exit 1
fi
exit 0
