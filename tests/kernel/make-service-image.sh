#!/usr/bin/env bash
# Makes, or finds ready, the disk image that brings the system bus and polkit into the kernel
# scenarios' guest, for the drive service's jobs (jobs/service-*.sh): a Debian 12 minbase root
# (debootstrap) with Debian's own dbus-daemon (and its setuid activation helper), polkitd with its
# JavaScript rules, udev's daemon, busctl, and a user "tester" (uid 1000) who is in no group of
# the drives. Nothing of the project's is in it: run-service-in-guest.sh brings the installed
# files at each boot. The guest attaches it with QEMU's snapshot=on, so that every boot starts
# from the same root.
#
#   make-service-image.sh [--cache DIR]   prints the image's path (default DIR:
#                                         build/service-image)
#
# The image is made again when this script or root_image_lib.sh changes. polkitd needs a logind;
# systemd's (libpam-systemd) comes along but never runs: the guest has no init but a shell.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cache="$root/build/service-image"
[ "${1:-}" != "--cache" ] || cache="$2"

. "$here/root_image_lib.sh"

packages=(dbus polkitd libpam-systemd udev)
image_begin service "$cache" "$0"
started=$SECONDS
image_debootstrap

cat > "$TREE/usr/local/bin/vardel-service-image-setup" <<'SETUP'
#!/bin/bash
# Runs in the chroot: the packages and the test user.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt-get -o APT::Sandbox::User=root update -q
apt-get -o APT::Sandbox::User=root install -y -q --no-install-recommends "$@"
apt-get clean
rm -rf /var/lib/apt/lists/* /etc/apt/sources.list /etc/apt/sources.list.d/*
rm -rf /usr/share/doc/* /usr/share/man/* /usr/share/locale/*
useradd --uid 1000 --user-group --home-dir /tmp --no-create-home --shell /bin/sh tester
SETUP
chmod +x "$TREE/usr/local/bin/vardel-service-image-setup"
echo "make-service-image: installing the system bus, polkit and udev" >&2
image_setup /usr/local/bin/vardel-service-image-setup "${packages[@]}"
# Room for what the guest writes: the project's files, the journal, the logs.
image_pack vardel-service 64
mv "$IMAGE.part" "$IMAGE"
echo "make-service-image: made $IMAGE (${IMAGE_SIZE_MB} MB) in $((SECONDS - started)) s" >&2
echo "$IMAGE"
