# What the USB path shows that the loopback target does not (run with --transport usb): disk names
# that do not follow the LUNs, and a short answer and a refused vendor read as usb-storage passes
# them on, the refusal with the REQUEST SENSE that usb-storage sends on its own.

all_since_mark() {  # the drive log since the mark, the kernel's own commands included
    tail -n +$((log_mark_line + 1)) "$VARDEL_COMMAND_LOG"
}

add_drive order
clear_attention order
reverse_disk_names order

# Discovery asks the disks in letter order (A is LUN 1 here), the ordering by LUN reads LUN 0
# first, and the command's own reads and writes go to the LUN 1 disk.
discovery() {
    inquiry order 1; inquiry order 0
    read_id order 1; read_id order 0
    read_id order 0; read_id order 1
}

begin "LUN 1 has the earlier disk name: status"
[ "$order_disks" = "/dev/sdb /dev/sda" ] ||
    fail "disks \"$order_disks\" by LUN, expected /dev/sdb /dev/sda"
run status
expect_rows "Removable" "Fixed Disk"
{ discovery; read_id order 1; read_info order 1; } > /tmp/expected
expect_commands /tmp/expected

begin "LUN 1 has the earlier disk name: set lun0 fixed"
run set lun0 fixed
expect_status 0
{
    discovery
    read_info order 1; read_id order 1; write_block order 1 "304:00>a1"; read_info order 1
} > /tmp/expected
expect_commands /tmp/expected
run status
expect_rows "Fixed Disk" "Fixed Disk"

begin "LUN 1 has the earlier disk name: list shows each letter at its LUN"
run --json list
expect_status 0
compact=$(printf '%s' "$RUN_OUT" | tr -d ' \n')
for volume in '"letter":"B","lun":0' '"/dev/sdb","/dev/sg0"' '"letter":"A","lun":1' \
    '"/dev/sda","/dev/sg1"' '"target":"A"'; do
    case "$compact" in
        *"$volume"*) ;;
        *) fail "list lacks $volume" ;;
    esac
done
remove_drive order

begin "a short answer with GOOD comes back as a residue"
# 300 bytes end with a short packet; 512 end on a packet boundary, where the drive halts bulk-in.
add_drive short --identity-bytes 300
add_drive boundary --identity-bytes 512
clear_attention short
clear_attention boundary
log_mark
/vardel/sg_floor --sequence "identity:0 identity:3" $short_sg $boundary_sg > /tmp/floor.out
cat /tmp/floor.out
# (sg copies its whole buffer back, so the caller's bytes after the answer are not kept.)
for expected in "${short_sg%% *} READ ID status=0 host=0 driver=0x00 resid=228 " \
    "${boundary_sg#* } READ ID status=0 host=0 driver=0x00 resid=16 "; do
    grep -q "^$expected" /tmp/floor.out || fail "no line \"$expected...\""
done
{ read_id short 0 "GOOD returned=300"; read_id boundary 1 "GOOD returned=512"; } > /tmp/expected
expect_commands /tmp/expected

begin "a refused vendor read: usb-storage asks for the sense and passes it on"
add_drive refusing --refuse-vendor
clear_attention refusing
log_mark
/vardel/sg_floor --sequence "identity:1" $refusing_sg > /tmp/floor.out
cat /tmp/floor.out
grep -q "^${refusing_sg#* } READ ID status=2 host=0 driver=0x08 resid=528 sense=5/20/00 " \
    /tmp/floor.out || fail "the refused read did not come back as status 2 with sense 5/20/00"
# The kernel's REQUEST SENSE carries the LUN in byte 1, as for a SCSI-2 device, although the
# commands it passes on from SG_IO do not.
all_since_mark > /tmp/received
sed -n 1p /tmp/received | grep -qxF "$(read_id refusing 1 "CHECK 5/20")" &&
    sed -n 2p /tmp/received | grep -qxE 'refusing lun1 03 [0-9a-f]{2} 00 00 12 00 len=18 GOOD' ||
    fail "expected the refused read and one REQUEST SENSE, received: $(tr '\n' ';' < /tmp/received)"

finish
