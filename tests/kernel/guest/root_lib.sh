# A Debian root in the guest (run-in-guest.sh --root-image or --wine-image): the image is the disk
# /dev/vda, mounted on $GUEST_ROOT with the guest's /dev, /proc, /sys, a fresh /tmp and /vardel
# (the programs and files of the run), so that programs of the root run in it with chroot and
# reach the guest's devices. QEMU's snapshot=on keeps nothing the guest writes.
#
#   root_mount, root_unmount      the root and those mounts in it

GUEST_ROOT=/guest-root

root_mount() {
    mkdir -p "$GUEST_ROOT" && mount -t ext4 /dev/vda "$GUEST_ROOT" || die "cannot mount the root image"
    mkdir -p "$GUEST_ROOT/vardel" &&
        mount -o bind /dev "$GUEST_ROOT/dev" && mount -t proc proc "$GUEST_ROOT/proc" &&
        mount -t sysfs sysfs "$GUEST_ROOT/sys" && mount -t tmpfs tmpfs "$GUEST_ROOT/tmp" &&
        mount -o bind /vardel "$GUEST_ROOT/vardel" || die "cannot prepare the root image"
}

root_unmount() {
    for folder in vardel tmp sys proc dev; do umount "$GUEST_ROOT/$folder"; done
    umount "$GUEST_ROOT" || die "cannot unmount the root image"
}
