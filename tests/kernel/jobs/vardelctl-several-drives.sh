# vardelctl through the real kernel with drives it must not change: one that keeps its old block,
# one whose identity block comes back short (each alone, then removed), then one that refuses the
# vendor commands, a good one beside it, and a second good one (serial VD0000000002, both LUNs
# fixed).

add_drive stubborn --ignore-writes
clear_attention stubborn

begin "a drive that acknowledges a write and keeps its old block"
run set lun0 fixed
expect_status 1
expect_said "Fail"
{
    discovery stubborn
    read_info stubborn 1; read_id stubborn 1; write_block stubborn 1; read_info stubborn 1
} > /tmp/expected
expect_commands /tmp/expected
run status
expect_rows "Removable" "Fixed Disk"
remove_drive stubborn

add_drive short --identity-bytes 300
clear_attention short

begin "a drive whose identity block comes back short with status GOOD"
# The kernel passes the handler's shorter length on as the residue; a block that did not arrive
# whole is no read, so discovery finds no drive and nothing is written.
run set lun0 fixed
expect_status 2
expect_said "No drive found"
discovery_without_drive short "GOOD returned=300" > /tmp/expected
expect_commands /tmp/expected
remove_drive short

add_drive refusing --refuse-vendor
clear_attention refusing

begin "a drive that refuses the vendor commands"
run status
expect_status 2
expect_said "No drive found"
discovery_without_drive refusing "CHECK 5/20" > /tmp/expected
expect_commands /tmp/expected
run set lun0 fixed
expect_status 2
expect_said "No drive found"
log_since_mark | grep -q ' 06 [02]6 ' && fail "a vendor write was sent"

add_drive one
clear_attention one

begin "a good drive beside the refusing one"
run status
expect_rows "Removable" "Fixed Disk"

add_drive two --serial VD0000000002 --lun0-type a1
clear_attention two

begin "two drives"
run status
expect_status 3
expect_said "More drives found, please remove others"
{
    for drive in refusing one two; do inquiry $drive 0; inquiry $drive 1; done
    read_id refusing 0 "CHECK 5/20"; read_id refusing 1 "CHECK 5/20"
    for drive in one two; do read_id $drive 0; read_id $drive 1; done
} > /tmp/expected
expect_commands /tmp/expected
run set lun1 removable
expect_status 3
expect_said "More drives found, please remove others"
log_since_mark | grep -q ' 06 [02]6 ' && fail "a vendor write was sent"

begin "--device chooses one of two drives"
run --device VD0000000002 set lun1 removable
expect_status 0
log_since_mark | grep ' 06 [02]6 ' > /tmp/writes
[ "$(cat /tmp/writes)" = "$(write_block two 1 "305:a1>00")" ] ||
    fail "the writes sent were \"$(tr '\n' ';' < /tmp/writes)\", expected one to drive two"
log_since_mark | grep -v -e '^two ' -e ' 12 [02]0 00 00 2c 00 ' -e ' 06 [02]5 00 00 00 00 ' |
    grep -q . && fail "drive one or the refusing drive got more than discovery's commands"
run --device VD0000000002 status
expect_rows "Fixed Disk" "Removable"
run --device VD0000000001 status
expect_rows "Removable" "Fixed Disk"

finish
