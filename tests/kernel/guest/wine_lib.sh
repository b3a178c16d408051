# Wine in the guest, for the jobs that run the Windows programs (run-in-guest.sh --wine-image):
# the image of tests/kernel/make-wine-image.sh is the disk /dev/vda, a Debian root with both Wines
# and a prefix per architecture; the programs are entered with chroot. Wine reaches a drive
# letter's device the way it does on any Linux machine: DeviceIoControl's SCSI pass-through
# becomes SG_IO on the node that the prefix's dosdevices/X:: names.
#
#   wine_start [--display]        mounts the root (wine_mount) and starts a Wine server per
#                                 prefix that stays for the whole job (with --display, Xvfb
#                                 first: a server keeps the display of its first program)
#   wine_mount, wine_unmount      the root alone (root_mount and root_unmount of root_lib.sh)
#   map_letters ARCH DRIVE [NODES]
#                                 E: and F: of prefix ARCH (win64 or win32) become DRIVE's LUN 0
#                                 and LUN 1, by their sg nodes (NODES "sg", the default), or by
#                                 their disks (NODES "disks"): only the generic node passes the
#                                 vendor commands for a process without CAP_SYS_RAWIO
#   WINE_USER=UID                 the Wine commands run as that user (and group), not as root
#   unmap_letters ARCH            E: and F: no longer exist
#   run_windows ARCH PROGRAM ARGS...
#                                 runs /vardel/files/ARCH/PROGRAM under the prefix's Wine, as run
#                                 does (RUN_STATUS, RUN_OUT, RUN_ERR, the log mark); the line ends
#                                 of the Windows console come back as Unix ones

. /vardel/root_lib.sh
WINE_ROOT=$GUEST_ROOT
WINE_DISPLAY=""
WINE_USER=""

wine_loader() {  # wine_loader ARCH: the loader of that architecture's programs
    case $1 in
        win64) echo /usr/lib/wine/wine64 ;;
        win32) echo /usr/lib/wine/wine ;;
        *) die "no Wine architecture \"$1\"" ;;
    esac
}

in_wine() {  # in_wine ARCH COMMAND...: a command in the chroot with the prefix's environment
    arch=$1
    loader=$(wine_loader "$arch")
    shift
    as_user=""
    [ -z "$WINE_USER" ] ||
        as_user="/usr/bin/setpriv --reuid=$WINE_USER --regid=$WINE_USER --clear-groups"
    chroot "$WINE_ROOT" $as_user /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin \
        HOME=$([ -z "$WINE_USER" ] && echo /root || echo /tmp) \
        LC_ALL=C.UTF-8 WINEARCH="$arch" WINEPREFIX="/wine/$arch" WINELOADER="$loader" \
        WINESERVER=/usr/lib/wine/wineserver64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
        ${WINE_DISPLAY:+DISPLAY=$WINE_DISPLAY} "$@"
}

wine_mount() { root_mount; }
wine_unmount() { root_unmount; }

wine_start() {
    wine_mount
    [ -f "$WINE_ROOT/wine/win32/.vardel-screen-ready" ] ||
        die "the Wine image has no 32-bit prefix (tests/kernel/make-wine-image.sh makes it)"
    if [ "${1:-}" = --display ]; then
        chroot "$WINE_ROOT" /usr/bin/Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp \
            > /tmp/xvfb.log 2>&1 &
        wait_for "$WINE_ROOT/tmp/.X11-unix/X7" 30
        WINE_DISPLAY=:7
    fi
    for arch in win64 win32; do
        in_wine $arch /usr/lib/wine/wineserver64 -p || die "the Wine server of $arch did not start"
    done
}

unmap_letters() {
    for letter in e f; do
        rm -rf "$WINE_ROOT/wine/$1/dosdevices/$letter:" "$WINE_ROOT/wine/$1/dosdevices/$letter::"
    done
}

map_letter() {  # map_letter ARCH LETTER NODE
    dosdevices="$WINE_ROOT/wine/$1/dosdevices"
    # A drive letter is a folder for the files and, beside it, the device for DeviceIoControl.
    mkdir -p "$WINE_ROOT/tmp/letters/$2" &&
        ln -s "/tmp/letters/$2" "$dosdevices/$2:" && ln -s "$3" "$dosdevices/$2::" ||
        die "mapping $2: of $1 to $3"
}

map_letters() {
    unmap_letters "$1"
    eval "nodes=\$${2}_${3:-sg}"
    set -- "$1" $nodes
    map_letter "$1" e "$2"
    map_letter "$1" f "$3"
    echo "wine: $1's E: is $2 (LUN 0), F: is $3 (LUN 1)"
}

run_windows() {
    arch=$1
    program=$2
    shift 2
    echo "+ $arch/$program $*"
    log_mark
    in_wine "$arch" "$(wine_loader "$arch")" "/vardel/files/$arch/$program" "$@" \
        > /tmp/run.out 2> /tmp/run.err
    status=$?
    for stream in out err; do
        tr -d '\r' < /tmp/run.$stream > /tmp/run.unix && mv /tmp/run.unix /tmp/run.$stream
    done
    collect_run $status
}
