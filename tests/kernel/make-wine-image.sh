#!/usr/bin/env bash
# Makes, or finds ready, the disk image that brings Wine into the kernel scenarios' guest: a
# Debian 12 minbase root (debootstrap) with the 64-bit and the 32-bit Wine, Xvfb and the fonts of
# the windows, and two Wine prefixes made beforehand in a chroot on this machine (wineboot under
# the guest's software emulation would cost minutes at every boot). The guest attaches the image
# as a disk with QEMU's snapshot=on, so that every boot starts from the same root.
#
#   make-wine-image.sh [--cache DIR]   prints the image's path (default DIR: build/wine-image)
#
# The image is made again when this script or tools/wine-prefix.sh changes. The packages come
# from the mirror this machine's apt uses, read from apt's own configuration at each run; no file
# of the image keeps its address. Needs root (debootstrap, chroot), debootstrap and mkfs.ext4.
#
# The prefixes:
#   /wine/win64   WINEARCH=win64, for the 64-bit programs
#   /wine/win32   WINEARCH=win32, for the 32-bit programs. Making it starts the 32-bit Wine; on a
#                 machine whose kernel cannot start 32-bit programs, a guest boot makes it in the
#                 finished image (jobs/wine-32-bit-prefix.sh), whose kernel can; that takes minutes
#                 under emulation, once. VARDEL_WINE_PREFIX_IN_GUEST=1 takes that way on any
#                 machine, to try it.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cache="$root/build/wine-image"
[ "${1:-}" != "--cache" ] || cache="$2"

. "$here/root_image_lib.sh"

packages=(wine64 wine32:i386 libwine fonts-wine fonts-wqy-microhei xvfb xauth)
image_begin wine "$cache" "$0" "$root/tools/wine-prefix.sh"
image="$IMAGE"
tree="$TREE"
started=$SECONDS
image_debootstrap

cp "$root/tools/wine-prefix.sh" "$tree/usr/local/bin/"
cat > "$tree/usr/local/bin/vardel-wine-image-setup" <<'SETUP'
#!/bin/bash
# Runs in the chroot: the packages, then the prefixes.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
dpkg --add-architecture i386
apt-get -o APT::Sandbox::User=root update -q
apt-get -o APT::Sandbox::User=root install -y -q --no-install-recommends "$@"
apt-get clean
rm -rf /var/lib/apt/lists/* /etc/apt/sources.list /etc/apt/sources.list.d/*

make_prefix() {  # make_prefix ARCH LOADER
    WINEARCH=$1 WINEPREFIX=/wine/$1 WINELOADER=$2 WINESERVER=/usr/lib/wine/wineserver64 \
        WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= HOME=/root \
        timeout 600 /usr/local/bin/wine-prefix.sh --screen
}
make_prefix win64 /usr/lib/wine/wine64
if [ "${VARDEL_WINE_PREFIX_IN_GUEST:-0}" != 1 ] &&
    timeout 60 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    make_prefix win32 /usr/lib/wine/wine
else
    echo "vardel-wine-image-setup: the 32-bit prefix is left to a guest boot"
fi
SETUP
chmod +x "$tree/usr/local/bin/vardel-wine-image-setup"
echo "make-wine-image: installing Wine and making the prefixes" >&2
image_setup /usr/bin/env VARDEL_WINE_PREFIX_IN_GUEST="${VARDEL_WINE_PREFIX_IN_GUEST:-0}" \
    /usr/local/bin/vardel-wine-image-setup "${packages[@]}"

# Each prefix holds a copy of every Wine library; as hard links to the originals they take no room.
hardlink -q -c "$tree/usr/lib" "$tree/wine" > /dev/null || image_fail "hardlink failed"

win32_in_guest=0
[ -f "$tree/wine/win32/.vardel-screen-ready" ] || win32_in_guest=1
# Room for the prefixes' growth and the programs' files in the guest (writes go to QEMU's
# snapshot, but the file system itself must have the free blocks); a 32-bit prefix still to be made
# takes about 600 MB before its libraries are linked.
extra_mb=256
[ $win32_in_guest -eq 0 ] || extra_mb=$((extra_mb + 1024))
image_pack vardel-wine "$extra_mb"
size_mb=$IMAGE_SIZE_MB
if [ $win32_in_guest -eq 1 ]; then
    echo "make-wine-image: making the 32-bit prefix in a guest (minutes under emulation)" >&2
    "$here/run-in-guest.sh" --transport none --wine-image "$image.part" --writable \
        --job "$here/jobs/wine-32-bit-prefix.sh" --timeout 1200 > "$cache/guest.log" 2>&1 ||
        { tail -n 30 "$cache/guest.log" >&2; image_fail "the guest did not make the 32-bit prefix (log: $cache/guest.log)"; }
fi
mv "$image.part" "$image"
echo "make-wine-image: made $image (${size_mb} MB) in $((SECONDS - started)) s" >&2
echo "$image"
