# The making of the Debian 12 roots that the kernel scenarios' guest attaches as a disk
# (make-wine-image.sh, make-service-image.sh): a debootstrap minbase root made in a folder of the
# cache, set up by a script of the caller's in a chroot, packed into an ext4 image that is made
# again only when its recipe changes. Sourced by those scripts; needs root, debootstrap and
# mkfs.ext4.
#
#   image_begin NAME CACHE RECIPE-FILES...
#                       IMAGE becomes CACHE/NAME-HASH.ext4 (HASH of the recipe's files and of this
#                       one); when it is there, prints it and exits. Otherwise checks the tools,
#                       finds the mirror, takes the cache's lock, and removes the previous images
#                       of NAME; TREE is the folder for the root
#   image_debootstrap   the minbase root in TREE (log: CACHE/debootstrap.log)
#   image_setup COMMAND...
#                       runs COMMAND in a chroot of TREE with /proc, /dev, /sys and /tmp mounted
#                       and the host's resolver, in a mount namespace of its own (log:
#                       CACHE/setup.log); afterwards checks that no file under /etc/apt keeps the
#                       mirror's address, and empties the resolver's file
#   image_pack LABEL EXTRA-MB
#                       the ext4 image IMAGE.part of TREE (with EXTRA-MB free beyond a fifth more
#                       than the root), then removes TREE; the caller renames it to IMAGE
# The mirror is the one this machine's apt uses, read from apt's own configuration at each run;
# no file of an image keeps its address.

image_fail() {
    echo "$IMAGE_TOOL: $*" >&2
    exit 1
}

image_begin() {
    IMAGE_TOOL="make-$1-image"
    IMAGE_CACHE="$2"
    local name="$1" hash
    shift 2
    hash=$(cat "$@" "${BASH_SOURCE[0]}" | sha256sum | cut -c1-16)
    IMAGE="$IMAGE_CACHE/$name-$hash.ext4"
    if [ -f "$IMAGE" ]; then
        echo "$IMAGE"
        exit 0
    fi
    [ "$(id -u)" -eq 0 ] || image_fail "making the image needs root (debootstrap and chroot)"
    command -v debootstrap >/dev/null ||
        image_fail "debootstrap is missing: run tools/install-kernel-deps.sh"
    command -v mkfs.ext4 >/dev/null || image_fail "mkfs.ext4 is missing (Debian package e2fsprogs)"
    # The mirror of this machine's Debian 12 packages, as apt itself lists its sources.
    IMAGE_MIRROR=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(IDENTIFIER)' \
        2>/dev/null | awk '$2 == "bookworm" && $3 == "Packages" { print $1; exit }')
    [ -n "$IMAGE_MIRROR" ] || image_fail "apt knows no source of bookworm's packages: run apt-get update"
    mkdir -p "$IMAGE_CACHE"
    exec 9>"$IMAGE_CACHE/.lock"
    flock -w 1200 9 || image_fail "waited 20 minutes for $IMAGE_CACHE/.lock"
    if [ -f "$IMAGE" ]; then
        echo "$IMAGE"
        exit 0
    fi
    TREE="$IMAGE_CACHE/root"
    image_remove_tree
    rm -f "$IMAGE_CACHE/$name"-*.ext4
    mkdir -p "$TREE"
}

# The root is only ever mounted on inside a mount namespace of its own (image_setup); were
# anything mounted under it here (/dev above all), removing it would remove through the mount.
image_remove_tree() {
    ! grep -qF " $TREE/" /proc/mounts || image_fail "something is mounted under $TREE: not removing it"
    rm -rf "$TREE"
}

image_debootstrap() {
    echo "$IMAGE_TOOL: debootstrap into $TREE" >&2
    debootstrap --variant=minbase --arch=amd64 bookworm "$TREE" "$IMAGE_MIRROR" \
        > "$IMAGE_CACHE/debootstrap.log" 2>&1 ||
        { tail -n 20 "$IMAGE_CACHE/debootstrap.log" >&2
          image_fail "debootstrap failed (log: $IMAGE_CACHE/debootstrap.log)"; }
}

image_setup() {
    # unshare makes the namespace's mounts private, so that nothing stays mounted on this
    # machine whatever way the setup ends.
    unshare --mount --fork sh -c '
        tree=$1; shift
        mount -t proc proc "$tree/proc" && mount --rbind /dev "$tree/dev" &&
            mount -t sysfs sysfs "$tree/sys" && mount -t tmpfs tmpfs "$tree/tmp" &&
            cp /etc/resolv.conf "$tree/etc/resolv.conf" &&
            chroot "$tree" "$@"' \
        setup "$TREE" "$@" > "$IMAGE_CACHE/setup.log" 2>&1 ||
        { tail -n 30 "$IMAGE_CACHE/setup.log" >&2
          image_fail "setting up the root failed (log: $IMAGE_CACHE/setup.log)"; }
    # The mirror's address went into the sources list, which the setup removes; the host's
    # resolver goes too.
    ! grep -rqsF "$IMAGE_MIRROR" "$TREE/etc/apt" || image_fail "the image would keep the mirror's address"
    : > "$TREE/etc/resolv.conf"
}

image_pack() {
    IMAGE_SIZE_MB=$(( $(du -sm "$TREE" | cut -f1) * 12 / 10 + $2 ))
    mkfs.ext4 -q -F -L "$1" -d "$TREE" "$IMAGE.part" "${IMAGE_SIZE_MB}M" ||
        image_fail "mkfs.ext4 could not make the image"
    image_remove_tree
}
