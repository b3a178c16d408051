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

fail() {
    echo "make-wine-image: $*" >&2
    exit 1
}

packages=(wine64 wine32:i386 libwine fonts-wine fonts-wqy-microhei xvfb xauth)
recipe_hash=$(cat "$0" "$root/tools/wine-prefix.sh" | sha256sum | cut -c1-16)
image="$cache/wine-$recipe_hash.ext4"
if [ -f "$image" ]; then
    echo "$image"
    exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "making the image needs root (debootstrap and chroot)"
command -v debootstrap >/dev/null || fail "debootstrap is missing: run tools/install-kernel-deps.sh"
command -v mkfs.ext4 >/dev/null || fail "mkfs.ext4 is missing (Debian package e2fsprogs)"

# The mirror of this machine's Debian 12 packages, as apt itself lists its sources.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(IDENTIFIER)' 2>/dev/null |
    awk '$2 == "bookworm" && $3 == "Packages" { print $1; exit }')
[ -n "$mirror" ] || fail "apt knows no source of bookworm's packages: run apt-get update"

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock -w 1200 9 || fail "waited 20 minutes for $cache/.lock"
if [ -f "$image" ]; then
    echo "$image"
    exit 0
fi
started=$SECONDS
tree="$cache/root"
# The root is only ever mounted on inside a mount namespace of its own (below); were anything
# mounted under it here (/dev above all), removing it would remove through the mount.
remove_tree() {
    ! grep -qF " $tree/" /proc/mounts || fail "something is mounted under $tree: not removing it"
    rm -rf "$tree"
}
remove_tree
rm -f "$cache"/wine-*.ext4
mkdir -p "$tree"

echo "make-wine-image: debootstrap into $tree" >&2
debootstrap --variant=minbase --arch=amd64 bookworm "$tree" "$mirror" > "$cache/debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/debootstrap.log" >&2; fail "debootstrap failed (log: $cache/debootstrap.log)"; }

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
# Everything that mounts runs in a mount namespace of its own (unshare makes its mounts private),
# so that nothing stays mounted on this machine whatever way the script ends.
export VARDEL_WINE_PREFIX_IN_GUEST="${VARDEL_WINE_PREFIX_IN_GUEST:-0}"
unshare --mount --fork sh -c '
    tree=$1; shift
    mount -t proc proc "$tree/proc" && mount --rbind /dev "$tree/dev" &&
        mount -t sysfs sysfs "$tree/sys" && mount -t tmpfs tmpfs "$tree/tmp" &&
        cp /etc/resolv.conf "$tree/etc/resolv.conf" &&
        chroot "$tree" /usr/bin/env VARDEL_WINE_PREFIX_IN_GUEST="$VARDEL_WINE_PREFIX_IN_GUEST" \
            /usr/local/bin/vardel-wine-image-setup "$@"' \
    setup "$tree" "${packages[@]}" > "$cache/setup.log" 2>&1 ||
    { tail -n 30 "$cache/setup.log" >&2; fail "setting up the root failed (log: $cache/setup.log)"; }
# The mirror's address went into the sources list, which the setup removed; the host's resolver
# goes too.
! grep -rqsF "$mirror" "$tree/etc/apt" || fail "the image would keep the mirror's address"
: > "$tree/etc/resolv.conf"

# Each prefix holds a copy of every Wine library; as hard links to the originals they take no room.
hardlink -q -c "$tree/usr/lib" "$tree/wine" > /dev/null || fail "hardlink failed"

win32_in_guest=0
[ -f "$tree/wine/win32/.vardel-screen-ready" ] || win32_in_guest=1
# Room for the prefixes' growth and the programs' files in the guest (writes go to QEMU's
# snapshot, but the file system itself must have the free blocks); a 32-bit prefix still to be made
# takes about 600 MB before its libraries are linked.
size_mb=$(( $(du -sm "$tree" | cut -f1) * 12 / 10 + 256 ))
[ $win32_in_guest -eq 0 ] || size_mb=$((size_mb + 1024))
mkfs.ext4 -q -F -L vardel-wine -d "$tree" "$image.part" "${size_mb}M" ||
    fail "mkfs.ext4 could not make the image"
remove_tree
if [ $win32_in_guest -eq 1 ]; then
    echo "make-wine-image: making the 32-bit prefix in a guest (minutes under emulation)" >&2
    "$here/run-in-guest.sh" --transport none --wine-image "$image.part" --writable \
        --job "$here/jobs/wine-32-bit-prefix.sh" --timeout 1200 > "$cache/guest.log" 2>&1 ||
        { tail -n 30 "$cache/guest.log" >&2; fail "the guest did not make the 32-bit prefix (log: $cache/guest.log)"; }
fi
mv "$image.part" "$image"
echo "make-wine-image: made $image (${size_mb} MB) in $((SECONDS - started)) s" >&2
echo "$image"
