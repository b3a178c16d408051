# vardelctl through the real kernel with drives it must not change: one that keeps its old block,
# one whose identity block comes back short (each alone, then removed), then one that refuses the
# vendor commands, a good one beside it (which no change takes for the only drive), and a second
# good one (serial VD0000000002, both LUNs fixed). Then drives that only their place on the bus
# tells apart: a twin of the good one with the very same serial (each undoes its own change from
# the one journal file they share), and two whose serials agree in their first twelve characters.

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

begin "a good drive beside the refusing one: status names it and goes on, a change stops"
# The refusing drive showed the signature, then its identity reads ended in CHECK CONDITION: it
# may be a drive of the kind, so no change takes the good one for the only one.
run status
expect_rows "Removable" "Fixed Disk"
for disk in $refusing_disks; do
    printf '%s\n' "$RUN_ERR" | grep -F "may hold a drive of the kind but did not answer" |
        grep -qF "($disk, " || fail "status does not name $disk: $RUN_ERR"
done
run set lun0 fixed
expect_status 3
expect_said "More drives found, please remove others"
printf '%s\n' "$RUN_ERR" | grep -qF "identity block could not be read: the drive answered CHECK CONDITION" ||
    fail "set does not say why the refusing drive did not answer: $RUN_ERR"
log_since_mark | grep -q ' 06 [02]6 ' && fail "a vendor write was sent"
run --device VD0000000001 status
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

remove_drive refusing
remove_drive two
add_drive twin --lun0-type a1
clear_attention twin
# The letter of a disk node: /dev/sdc is C.
letter_of() { echo "${1#/dev/sd}" | tr a-z A-Z; }
one_letter=$(letter_of "${one_disks%% *}")
twin_letter=$(letter_of "${twin_disks%% *}")

begin "two drives with one serial are two drives"
run status
expect_status 3
expect_said "More drives found, please remove others"
run list
expect_status 0
[ "$(printf '%s\n' "$RUN_OUT" | grep -c '^Drive [0-9]: serial VD0000000001$')" -eq 2 ] ||
    fail "list does not show two drives with serial VD0000000001"
for node in $one_disks $one_sg $twin_disks $twin_sg; do
    printf '%s\n' "$RUN_OUT" | grep -q " $node\( \|$\)" || fail "list does not show $node"
done
run --device vd0000000001 set lun1 removable
expect_status 3
expect_said "More drives found, please remove others"
for node in ${one_sg%% *} ${twin_sg%% *}; do
    printf '%s\n' "$RUN_ERR" | grep -q "$node" || fail "the refusal does not name $node"
done
log_since_mark | grep -q ' 06 [02]6 ' && fail "a vendor write was sent"

begin "--device by node or letter is exactly that drive"
run --device "${twin_sg##* }" set lun1 removable
expect_status 0
log_since_mark | grep ' 06 [02]6 ' > /tmp/writes
[ "$(cat /tmp/writes)" = "$(write_block twin 1 "305:a1>00")" ] ||
    fail "the writes sent were \"$(tr '\n' ';' < /tmp/writes)\", expected one to the twin"
run --device "$one_letter" status
expect_rows "Removable" "Fixed Disk"
run --device "${twin_disks%% *}" status
expect_rows "Fixed Disk" "Removable"

begin "--all reaches both drives of one serial"
run set --all lun0 fixed
expect_status 0
log_since_mark | grep ' 06 [02]6 ' | sort > /tmp/writes
{ write_block one 1 "304:00>a1"; } | sort > /tmp/expected
[ "$(cat /tmp/writes)" = "$(cat /tmp/expected)" ] ||
    fail "the writes sent were \"$(tr '\n' ';' < /tmp/writes)\", expected one to drive one"
[ "$(printf '%s\n' "$RUN_OUT" | grep -c '^VD0000000001 ')" -eq 2 ] ||
    fail "set --all did not report two drives"
rm -rf /tmp/backups
run backup --all /tmp/backups
expect_status 0
[ "$(ls /tmp/backups | tr '\n' ' ')" = "$(printf '%s\n' "VD0000000001-$one_letter.json" \
    "VD0000000001-$twin_letter.json" | sort | tr '\n' ' ')" ] ||
    fail "backup --all wrote $(ls /tmp/backups | tr '\n' ' ')"

begin "each of two drives with one serial undoes its own change"
# The journal holds the twin's set of LUN 1, then drive one's set of LUN 0 (--all); both in one
# file, each entry with the place its drive sits at.
run --device "${twin_disks%% *}" undo --yes
expect_status 0
log_since_mark | grep ' 06 [02]6 ' > /tmp/writes
[ "$(cat /tmp/writes)" = "$(write_block twin 1 "305:00>a1")" ] ||
    fail "the writes sent were \"$(tr '\n' ';' < /tmp/writes)\", expected the twin's own undo"
run --device "$one_letter" undo --yes
expect_status 0
log_since_mark | grep ' 06 [02]6 ' > /tmp/writes
[ "$(cat /tmp/writes)" = "$(write_block one 1 "304:a1>00")" ] ||
    fail "the writes sent were \"$(tr '\n' ';' < /tmp/writes)\", expected drive one's own undo"
run --device VD0000000001 history
expect_status 0
# The two undos, each with the place of its own drive.
places=$(printf '%s\n' "$RUN_OUT" | tail -n 2 | grep -o 'at SCSI address [0-9:]*' | sort -u | wc -l)
[ "$places" -eq 2 ] || fail "history does not name each drive's place: $RUN_OUT"
remove_drive twin

add_drive near1 --serial AA0000000001-0001
add_drive near2 --serial AA0000000001-0002 --lun0-type a1
clear_attention near1
clear_attention near2

begin "serials that agree in their first twelve characters"
run --device AA0000000001-0002 status
expect_rows "Fixed Disk" "Fixed Disk"
run --device aa0000000001-0001 status
expect_rows "Removable" "Fixed Disk"
run --device aa0000000001-9999 status
expect_status 4
expect_said "No drive found"
run --device AA0000000001 status
expect_status 4
run status --all
expect_status 0
for serial in VD0000000001 AA0000000001-0001 AA0000000001-0002; do
    shown=$(printf '%s\n' "$RUN_OUT" | grep -c "^$serial ")
    [ "$shown" -eq 1 ] || fail "status --all shows $serial $shown times"
done

finish
