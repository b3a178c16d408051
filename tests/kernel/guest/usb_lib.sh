# The USB path for the guest's jobs, sourced by lib.sh when the guest was built with --transport
# usb: each drive is a gadget made in configfs, its one function a FunctionFS instance played by
# the USB drive program (tools/usb), bound to one of dummy_hcd's UDCs; the host side of the same
# dummy_hcd is an ordinary USB bus, where usb-storage attaches the drive as it would a real one.
#
#   add_usb_drive NAME [DRIVE OPTIONS...]   sets NAME_disks and NAME_sg (LUN 0 first, found by LUN:
#                                           the kernel's names do not always follow the LUNs, and
#                                           are put in LUN order when they do not), NAME_address
#   remove_usb_drive NAME                   unbinds the gadget and ends the program: the disks go
#   add_kernel_usb_disk NAME REVISION       a USB disk that is not ours: the kernel's own
#                                           mass-storage function (two LUNs on files in /tmp),
#                                           answering INQUIRY with REVISION; sets NAME_disks,
#                                           NAME_sg, NAME_address (needs run-in-guest.sh --udev)

GADGETS=/sys/kernel/config/usb_gadget
USB_DRIVE=/vardel/vardel_usb_drive

free_udc() {  # the first UDC no gadget is bound to
    for udc in $(ls /sys/class/udc); do
        cat $GADGETS/*/UDC 2>/dev/null | grep -qxF "$udc" || { echo "$udc"; return 0; }
    done
    return 1
}

# usb_disks_of NAME UDC: the UDC's other half, dummy_hcd.N, carries the bus where usb-storage
# makes a SCSI host for the gadget; sets NAME_address, NAME_disks and NAME_sg.
usb_disks_of() {
    host=""
    tries=0
    while [ -z "$host" ]; do
        host=$(ls -d /sys/devices/platform/dummy_hcd.${2#dummy_udc.}/usb*/*/*:1.0/host* \
            2>/dev/null | head -n1)
        tries=$((tries + 1))
        [ $tries -le 300 ] || die "no SCSI host for $1 on $2"
        [ -n "$host" ] || sleep 0.1
    done
    eval "${1}_address=${host##*/host}:0:0"
    disks_by_lun "$1"
}

add_usb_drive() {
    name="$1"
    shift
    udc=$(free_udc) || die "no free UDC for $name (dummy_hcd makes $(ls /sys/class/udc | wc -l))"
    gadget=$GADGETS/$name
    # 1209:0001 is a vendor and product ID set aside for tests; usb-storage binds by the
    # interface's class, not by ID.
    mkdir "$gadget" "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/ffs.$name" &&
        echo 0x1209 > "$gadget/idVendor" && echo 0x0001 > "$gadget/idProduct" &&
        echo Vardel > "$gadget/strings/0x409/manufacturer" &&
        echo "Test drive $name" > "$gadget/strings/0x409/product" &&
        echo "$name" > "$gadget/strings/0x409/serialnumber" &&
        ln -s "$gadget/functions/ffs.$name" "$gadget/configs/c.1/" || die "gadget $name"
    mkdir -p "/dev/ffs-$name" && mount -t functionfs "$name" "/dev/ffs-$name" ||
        die "FunctionFS for $name"
    "$USB_DRIVE" --ffs "/dev/ffs-$name" --name "$name" --log "$VARDEL_COMMAND_LOG" "$@" &
    eval "${name}_program=$!"
    # The endpoint files appear once the program has written the descriptors; only then can the
    # gadget be bound.
    wait_for "/dev/ffs-$name/ep2"
    echo "$udc" > "$gadget/UDC" || die "binding $name to $udc"
    usb_disks_of "$name" "$udc"
    # The tool asks the disks in the order of their names: the jobs expect LUN 0 first.
    eval "disks=\$${name}_disks"
    if [ "$(printf '%s\n' $disks | sort | head -n1)" != "${disks%% *}" ]; then
        echo "lib: $name came with LUN 1 first ($disks by LUN); binding its disks in LUN order"
        bind_disks_in_order "$name" 0 1
    fi
    eval "kill -0 \$${name}_program" 2>/dev/null || die "the program of $name has ended"
    eval "${name}_gadget=$gadget"
    eval "echo \"lib: $name is \$${name}_disks (\$${name}_sg) on $udc\""
}

remove_usb_drive() {
    eval "gadget=\$${1}_gadget address=\$${1}_address program=\$${1}_program"
    echo "" > "$gadget/UDC" || die "unbinding $1"
    kill "$program" && wait "$program"
    for lun in 0 1; do wait_for_lun_gone "$1" "$address" "$lun"; done
    umount "/dev/ffs-$1" && rm "$gadget/configs/c.1/ffs.$1" &&
        rmdir "$gadget/configs/c.1" "$gadget/functions/ffs.$1" "$gadget/strings/0x409" "$gadget" ||
        die "removing the gadget of $1"
}

add_kernel_usb_disk() {
    name="$1"
    udc=$(free_udc) || die "no free UDC for $name"
    gadget=$GADGETS/$name
    msc=$gadget/functions/mass_storage.$name
    mkdir "$gadget" "$gadget/strings/0x409" "$gadget/configs/c.1" "$msc" &&
        echo 0x1209 > "$gadget/idVendor" && echo 0x0002 > "$gadget/idProduct" &&
        echo "$name" > "$gadget/strings/0x409/serialnumber" || die "gadget $name"
    # The function makes lun.0 itself. Its INQUIRY string is the vendor (8 characters), the
    # product (16) and the revision (4).
    for lun in 0 1; do
        [ -d "$msc/lun.$lun" ] || mkdir "$msc/lun.$lun" || die "$name's LUN $lun"
        dd if=/dev/zero of="/tmp/$name-lun$lun.img" bs=1024 count=1024 2>/dev/null &&
            echo "/tmp/$name-lun$lun.img" > "$msc/lun.$lun/file" &&
            printf 'Other   Plain disk      %-4s' "$2" > "$msc/lun.$lun/inquiry_string" ||
            die "$name's LUN $lun"
    done
    ln -s "$msc" "$gadget/configs/c.1/" && echo "$udc" > "$gadget/UDC" ||
        die "binding $name to $udc"
    usb_disks_of "$name" "$udc"
    eval "echo \"lib: $name is \$${name}_disks (\$${name}_sg) on $udc, the kernel's own\""
}
