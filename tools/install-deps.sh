#!/usr/bin/env bash
# Installs what building, testing and running Vardel need on a Debian machine. Does nothing when
# everything is already there.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev libgmock-dev
          g++-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 xvfb xauth
          fonts-wqy-microhei fonts-wine libcli11-dev nlohmann-json3-dev)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo dpkg --add-architecture i386
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
