# res/linux/70-vardel.rules as Debian's own udevadm applies it to real device chains (run with
# --transport usb --udev): the rule must tag with "uaccess" the SCSI generic nodes of a USB disk
# whose INQUIRY revision is "PMAP", and nothing else: not a loopback disk with the same revision,
# not a USB disk with another revision, never a block node. The disks are the project's USB drive,
# a tcm_loop disk behind the TCMU handler, and two disks of the kernel's own USB mass-storage
# function that differ only in their revision.

rules_file=/etc/udev/rules.d/70-vardel.rules
[ "$VARDEL_TRANSPORT" = usb ] || die "this job needs --transport usb"
[ -x /vardel/udevadm ] && [ -f "$rules_file" ] || die "no udevadm or no rule: run with --udev"
/vardel/udevadm --version | sed 's/^/udevadm version /'

sys_of() {  # sys_of /dev/NODE: the node's device in sysfs
    case "$1" in
        /dev/sg*) echo "/sys/class/scsi_generic/${1#/dev/}" ;;
        *) echo "/sys/class/block/${1#/dev/}" ;;
    esac
}

# udev_test NODE: the rules run for "add" of NODE's device, the whole output in /tmp/udev.out,
# its tags in UDEV_TAGS and UDEV_CURRENT_TAGS.
udev_test() {
    /vardel/udevadm test --action=add "$(sys_of "$1")" > /tmp/udev.out 2>&1
    udev_status=$?
    UDEV_TAGS=$(sed -n 's/^TAGS=//p' /tmp/udev.out)
    UDEV_CURRENT_TAGS=$(sed -n 's/^CURRENT_TAGS=//p' /tmp/udev.out)
    [ "$udev_status" -eq 0 ] || {
        fail "udevadm test of $1 exited with $udev_status:"
        tail -n 20 /tmp/udev.out
    }
}

# expect_tagged NODE yes|no: uaccess in both TAGS and CURRENT_TAGS, or in neither
expect_tagged() {
    udev_test "$1"
    case "$UDEV_TAGS" in *:uaccess:*) tagged=yes ;; *) tagged=no ;; esac
    case "$UDEV_CURRENT_TAGS" in *:uaccess:*) current=yes ;; *) current=no ;; esac
    [ "$tagged $current" != "$2 $2" ] || return 0
    revision=$(cat "$(sys_of "$1")/device/rev")
    properties=$(sed -n '/^DEVPATH=/,$p' /tmp/udev.out | tr '\n' ' ')
    fail "$1 tagged uaccess: $tagged (current: $current), expected $2; revision \"$revision\";\
 udev's properties: $properties"
}

# expect_drive NAME yes|no: the uaccess tag on both sg nodes of drive NAME, never on its disks.
expect_drive() {
    eval "sgs=\$${1}_sg disks=\$${1}_disks"
    chain=$(/vardel/udevadm info --attribute-walk "$(sys_of "${sgs%% *}")" |
        sed -n 's/^ *SUBSYSTEMS=="\(.*\)"$/\1/p' | tr '\n' ' ')
    echo "the subsystems above ${sgs%% *}: ${chain% }"
    for node in $sgs; do expect_tagged "$node" "$2"; done
    for node in $disks; do expect_tagged "$node" no; done
}

add_drive ours
add_tcm_drive loop
add_kernel_usb_disk plain PMA1
add_kernel_usb_disk alike PMAP

begin "the USB drive of ours, revision PMAP: its sg nodes are tagged, its disks are not"
expect_drive ours yes

begin "a tcm_loop disk, revision PMAP, no USB on its chain: nothing tagged"
expect_drive loop no

begin "a USB disk with revision PMA1: nothing tagged"
expect_drive plain no

begin "the same USB disk with revision PMAP: its sg nodes are tagged, its disks are not"
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
