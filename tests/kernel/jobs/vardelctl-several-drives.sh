# vardelctl through the real kernel with drives it must not change: one that refuses the vendor
# commands, then a good one beside it, then a second good one. Disks in order: refusing (sda, sdb),
# one (sdc, sdd), two (sde, sdf).

add_drive refusing --refuse-vendor
clear_attention refusing

begin "a drive that refuses the vendor commands"
run status
expect_status 2
expect_said "No drive found"
{
    inquiry refusing 0; inquiry refusing 1
    read_id refusing 0 "CHECK 5/20"; read_id refusing 1 "CHECK 5/20"
} > /tmp/expected
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
expect_status 2
expect_said "More drives found, please remove others"
{
    for drive in refusing one two; do inquiry $drive 0; inquiry $drive 1; done
    read_id refusing 0 "CHECK 5/20"; read_id refusing 1 "CHECK 5/20"
    for drive in one two; do read_id $drive 0; read_id $drive 1; done
} > /tmp/expected
expect_commands /tmp/expected
run set lun1 removable
expect_status 2
expect_said "More drives found, please remove others"
log_since_mark | grep -q ' 06 [02]6 ' && fail "a vendor write was sent"

finish
