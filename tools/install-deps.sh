#!/usr/bin/env bash
# Installs what a command of the project needs on a Debian machine, by group, and does nothing
# when everything asked for is already there.
#   tools/install-deps.sh window       the Vardel window (tools/run-demo.sh)
#   tools/install-deps.sh tests        the host builds' tests and the .deb with its checks
#   tools/install-deps.sh windows      the Windows builds and their tests under Wine
#   tools/install-deps.sh fuzz-bench   the fuzzers and the benchmarks
#   tools/install-deps.sh all          all of these (.ci/run); also with no group named
# Several groups may be named at once. The kernel scenarios have tools/install-kernel-deps.sh.
set -euo pipefail

usage="usage: tools/install-deps.sh [window|tests|windows|fuzz-bench|all]..."

# Configuring any build tree: the compiler, CMake, the icon and test scripts' Python, the
# header-only CLI11 and nlohmann-json, and GoogleTest's sources, which every tree's test folder
# takes in (building the window alone compiles none of them); the system's D-Bus library and
# pkg-config, for the drive service (src/service).
build=(cmake ninja-build g++ python3 googletest libcli11-dev nlohmann-json3-dev libdbus-1-dev
       pkg-config)
# qt6-base-dev brings Qt 6 Widgets and QTest, and through libqt6gui6 the platform plugins the
# window runs on: xcb for a display (real or Xvfb), offscreen for the tests. Xvfb and xauth give
# the window a virtual display; the Chinese translations need a font. qt6-tools-dev and
# qt6-l10n-tools bring lupdate and lrelease, which make the window's translations;
# qt6-translations-l10n holds Qt's own (the standard buttons) in the same languages.
window=("${build[@]}" qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n xvfb xauth
        fonts-wqy-microhei)
# dpkg-dev gives CPack dpkg-shlibdeps, which names the .deb's library dependencies; lintian and
# desktop-file-utils check the .deb (packaging/linux/check-deb.sh). The drive service's bus test
# starts a private dbus-daemon and talks to it with dbus-send and busctl (systemd's).
tests=("${window[@]}" libgtest-dev libgmock-dev dpkg-dev lintian desktop-file-utils dbus-daemon
       dbus-bin systemd)
# Both mingw-w64 toolchains, Wine for their tests, and Xvfb for the end-to-end runs in windows.
windows=("${build[@]}" g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64
         mingw-w64-x86-64-dev wine wine64 fonts-wine fonts-wqy-microhei xvfb xauth)
# The 32-bit Wine runs the tests of the 32-bit program where the machine can start 32-bit
# programs; a machine that cannot install or run it still builds and tests everything else.
windows_optional=(wine32:i386)
# clang-14 and its runtime build the fuzzers; Google Benchmark, hyperfine and valgrind the
# benchmarks; polkitd, dbus-daemon and busctl (systemd's) the drive service's benchmark on this
# machine (tools/bench-service-host.sh). Both presets are host builds, so they configure the
# window too.
fuzz_bench=("${window[@]}" clang-14 libclang-rt-14-dev libbenchmark-dev hyperfine valgrind
            polkitd dbus-daemon systemd)

[ $# -gt 0 ] || set -- all
packages=()
optional=()
for group in "$@"; do
  case $group in
    window) packages+=("${window[@]}") ;;
    tests) packages+=("${tests[@]}") ;;
    windows) packages+=("${windows[@]}"); optional+=("${windows_optional[@]}") ;;
    fuzz-bench) packages+=("${fuzz_bench[@]}") ;;
    all) packages+=("${tests[@]}" "${windows[@]}" "${fuzz_bench[@]}")
         optional+=("${windows_optional[@]}") ;;
    -h|--help) echo "$usage"; exit 0 ;;
    *) echo "install-deps.sh: no group \"$group\"; $usage" >&2; exit 64 ;;
  esac
done

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Each package once, in the order first asked for.
missing=()
declare -A seen=()
for package in "${packages[@]}"; do
  [ -z "${seen[$package]:-}" ] || continue
  seen[$package]=1
  installed "$package" || missing+=("$package")
done
missing_optional=()
for package in "${optional[@]}"; do
  [ -z "${seen[$package]:-}" ] || continue
  seen[$package]=1
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
