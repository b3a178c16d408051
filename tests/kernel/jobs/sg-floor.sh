# The drive's commands (INQUIRY, the identity and configuration reads, the vendor write) from a
# minimal SG_IO program (tools/kernel/sg_floor.cpp), before any of the tool's own code is
# involved: the path from SG_IO to the drive program (through the loopback fabric and the target
# core, or through usb-storage and a USB bus), and what the kernel does to the CDBs on the way.

begin "a drive over two LUNs appears as two disks"
add_drive one
[ "$one_disks" = "/dev/sda /dev/sdb" ] || fail "disks \"$one_disks\", expected /dev/sda /dev/sdb"

if [ "$VARDEL_TRANSPORT" = tcm ]; then
    begin "adding LUN 1 leaves a unit attention on LUN 0"
    /vardel/sg_floor $one_sg > /tmp/floor.out
    cat /tmp/floor.out
    attention="status=2 host=0 driver=0x08 resid=[0-9]* sense=6/3f/0e"
    grep -q "^${one_sg%% *} READ ID $attention .* untouched=0$" /tmp/floor.out ||
        fail "LUN 0's first vendor read did not meet the unit attention 6/3F/0E"
fi

begin "INQUIRY and the identity read to both, the configuration block written back on LUN 1"
clear_attention one
log_mark
/vardel/sg_floor --write $one_sg > /tmp/floor.out
status=$?
cat /tmp/floor.out
[ $status -eq 0 ] || fail "sg_floor --write exited with $status"
{
    inquiry one 0; inquiry one 1; read_id one 0; read_id one 1
    read_info one 1; write_block one 1; read_info one 1
} > /tmp/expected
expect_commands /tmp/expected
grep -q '^/dev/sg1 READ INFO status=0 .* same-as-written$' /tmp/floor.out ||
    fail "the read-back differs from the block written"

begin "--sequence sends exactly the commands listed (the benchmark's floor relies on it)"
log_mark
/vardel/sg_floor --sequence "identity:1 address:1 inquiry:0 config:1 identity:1 address:0" \
    $one_sg > /tmp/floor.out
status=$?
cat /tmp/floor.out
[ $status -eq 0 ] || fail "sg_floor --sequence exited with $status"
# The address question sends the drive nothing; the kernel tells where each disk sits.
{ read_id one 1; inquiry one 0; read_info one 1; read_id one 1; } > /tmp/expected
expect_commands /tmp/expected
for lun in 0 1; do
    set -- $one_sg
    [ $lun -eq 1 ] && shift
    grep -qx "$1 ADDRESS $one_address:$lun" /tmp/floor.out ||
        fail "sg_floor did not say that $1 sits at $one_address:$lun"
done

begin "a vendor read meets CHECK CONDITION: sense key 5, and the data-in buffer"
add_drive refusing --refuse-vendor
clear_attention refusing
/vardel/sg_floor $refusing_sg > /tmp/floor.out
cat /tmp/floor.out
grep -q "^${refusing_sg%% *} READ ID status=2 host=0 driver=0x08 resid=[0-9]* sense=5/20/00" \
    /tmp/floor.out ||
    fail "the refused vendor read did not come back as status 2, driver 0x08, sense 5/20"

finish
