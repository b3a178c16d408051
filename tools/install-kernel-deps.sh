#!/usr/bin/env bash
# Installs what the kernel scenarios (tests/kernel) need on a Debian machine: QEMU for the guest,
# busybox-static and cpio for its initramfs, objcopy (binutils) to read the kernel modules'
# dependencies, debootstrap for the root of the Wine image (tests/kernel/make-wine-image.sh), and
# package lists that name the current kernel package. Does nothing when all is
# there. The kernel itself is downloaded by tests/kernel/run-in-guest.sh into build/kernel/.
set -euo pipefail

packages=(qemu-system-x86 busybox-static cpio binutils debootstrap)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
lists_know_kernel=1
apt-cache depends linux-image-amd64 2>/dev/null | grep -q 'Depends: linux-image-' \
  || lists_know_kernel=0
[ ${#missing[@]} -eq 0 ] && [ $lists_know_kernel -eq 1 ] && exit 0

$sudo apt-get update
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
