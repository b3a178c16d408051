# res/linux/70-vardel.rules as Debian's own udevadm applies it to real device chains (run with
# --transport usb --udev): the rule must give the group "vardel" (the drive service's) the SCSI
# generic nodes of a USB disk that carries either signature (INQUIRY revision "PMAP", or "PMAP1234"
# at bytes 36..43, which the rule's program vardel-signature asks the drive for), and nothing
# else: not a loopback disk with the same revision, not a USB disk with another revision and no
# long signature, never a block node. Nobody else gets a node: no "uaccess" tag, which would give
# it to the user at the seat. The disks are the project's USB drive as it comes and with another
# revision (so only its long signature tells), a tcm_loop disk behind the TCMU handler, and two
# disks of the kernel's own USB mass-storage function that differ only in their revision (36
# bytes of INQUIRY data, so no long signature). Run with --udev-program.

rules_file=/etc/udev/rules.d/70-vardel.rules
[ "$VARDEL_TRANSPORT" = usb ] || die "this job needs --transport usb"
[ -x /vardel/udevadm ] && [ -f "$rules_file" ] || die "no udevadm or no rule: run with --udev"
[ -x /usr/lib/udev/vardel-signature ] || die "no vardel-signature: run with --udev-program"
/vardel/udevadm --version | sed 's/^/udevadm version /'

sys_of() {  # sys_of /dev/NODE: the node's device in sysfs
    case "$1" in
        /dev/sg*) echo "/sys/class/scsi_generic/${1#/dev/}" ;;
        *) echo "/sys/class/block/${1#/dev/}" ;;
    esac
}

vardel_gid=$(sed -n 's/^vardel:[^:]*:\([0-9]*\):.*/\1/p' /etc/group)
[ -n "$vardel_gid" ] || die "no group vardel in the guest"

# udev_test NODE: the rules run for "add" of NODE's device, the whole output in /tmp/udev.out,
# its tags in UDEV_TAGS.
udev_test() {
    /vardel/udevadm test --action=add "$(sys_of "$1")" > /tmp/udev.out 2>&1
    udev_status=$?
    UDEV_TAGS=$(sed -n 's/^TAGS=//p' /tmp/udev.out)
    [ "$udev_status" -eq 0 ] || {
        fail "udevadm test of $1 exited with $udev_status:"
        tail -n 20 /tmp/udev.out
    }
}

# expect_granted NODE yes|no: whether udev gives NODE to the group vardel, read and write for the
# group alone; never the uaccess tag.
expect_granted() {
    udev_test "$1"
    case "$UDEV_TAGS" in *:uaccess:*) fail "$1 tagged uaccess: the user at the seat would get it" ;; esac
    if grep -qxF "${1#/dev/}: Setting permissions $1, uid=0, gid=$vardel_gid, mode=0660" /tmp/udev.out
    then granted=yes; else granted=no; fi
    [ "$granted" != "$2" ] || return 0
    revision=$(cat "$(sys_of "$1")/device/rev")
    fail "$1 given to the group vardel: $granted, expected $2; revision \"$revision\";\
 udev says: $(grep -F "$1" /tmp/udev.out | tr '\n' ' ')"
}

# expect_drive NAME yes|no: the group on both sg nodes of drive NAME, never on its disks.
expect_drive() {
    eval "sgs=\$${1}_sg disks=\$${1}_disks"
    chain=$(/vardel/udevadm info --attribute-walk "$(sys_of "${sgs%% *}")" |
        sed -n 's/^ *SUBSYSTEMS=="\(.*\)"$/\1/p' | tr '\n' ' ')
    echo "the subsystems above ${sgs%% *}: ${chain% }"
    for node in $sgs; do expect_granted "$node" "$2"; done
    for node in $disks; do expect_granted "$node" no; done
}

add_drive ours
add_drive long --revision 1100
add_tcm_drive loop
add_kernel_usb_disk plain PMA1
add_kernel_usb_disk alike PMAP

begin "the USB drive of ours, revision PMAP: its sg nodes go to the group, its disks do not"
expect_drive ours yes

begin "the USB drive of ours, revision 1100, PMAP1234 at bytes 36..43: its sg nodes go to the group"
expect_drive long yes
udev_test "${long_sg%% *}"
grep -q "vardel-signature" /tmp/udev.out && grep -qx "VARDEL_SIGNATURE=1" /tmp/udev.out ||
    fail "the signature of ${long_sg%% *} did not come from vardel-signature:\
 $(grep -e vardel-signature -e VARDEL_ /tmp/udev.out | tr '\n' ' ')"

begin "a tcm_loop disk, revision PMAP, no USB on its chain: nothing given"
expect_drive loop no

begin "a USB disk with revision PMA1, 36 bytes of INQUIRY data (no long signature): nothing given"
expect_drive plain no

begin "the same USB disk with revision PMAP: its sg nodes go to the group, its disks do not"
expect_drive alike yes

begin "udevadm reads the rule and finds nothing wrong in it"
udev_test "${ours_sg%% *}"
grep -qF "$rules_file" /tmp/udev.out || fail "udevadm never names $rules_file"
# udevadm names a rule's file and line only when it finds fault with that line.
complaints=$(grep -i -e invalid -e "^$rules_file:[0-9]" /tmp/udev.out)
[ -z "$complaints" ] || fail "udevadm complains: $complaints"

# Without this, a udevadm that hid its complaints would let any rule pass the check above.
begin "a faulty rule beside it draws the complaint that check looks for"
printf '%s\n' 'SUBSYSTEM=="scsi_generic", TAGG+="uaccess"' > /etc/udev/rules.d/69-faulty.rules
udev_test "${ours_sg%% *}"
grep -i invalid /tmp/udev.out | grep -q '^/etc/udev/rules.d/69-faulty.rules:1 ' ||
    fail "no complaint about 69-faulty.rules: $(grep -F 69-faulty.rules /tmp/udev.out)"
rm /etc/udev/rules.d/69-faulty.rules

finish
