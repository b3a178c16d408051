#!/usr/bin/env bash
# Installs what building, testing and running Vardel need on a Debian machine. Does nothing when
# everything is already there.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev libgmock-dev
          g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64 xvfb xauth fonts-wqy-microhei fonts-wine libcli11-dev nlohmann-json3-dev
          qt6-base-dev dpkg-dev clang-14 libclang-rt-14-dev libbenchmark-dev hyperfine valgrind)
# qt6-base-dev brings Qt 6 Widgets and QTest, and through libqt6gui6 the platform plugins the
# window runs on: xcb for a display (real or Xvfb), offscreen for the tests. dpkg-dev gives CPack
# dpkg-shlibdeps, which names the .deb's library dependencies.
# clang-14 and its runtime build the fuzzers; Google Benchmark, hyperfine and valgrind the
# benchmarks.
# The 32-bit Wine runs the tests of the 32-bit program where the machine can start 32-bit
# programs; a machine that cannot install or run it still builds and tests everything else.
optional=(wine32:i386)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
missing_optional=()
for package in "${optional[@]}"; do
  installed "$package" || missing_optional+=("$package")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing_optional[@]} -gt 0 ]; then
  $sudo dpkg --add-architecture i386 || true
fi
$sudo apt-get update
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "Installing (optional): ${missing_optional[*]}"
  $sudo apt-get install -y --no-install-recommends "${missing_optional[@]}" \
    || echo "install-deps.sh: ${missing_optional[*]} could not be installed; the 32-bit Windows tests will be skipped"
fi
