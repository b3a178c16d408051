# vardelctl through the real kernel on one drive over two LUNs (/dev/sda = LUN 0, /dev/sdb =
# LUN 1; LUN 0 removable, LUN 1 fixed): what each command shows and exits with, and exactly which
# commands reached the drive. The expected command sequences follow the tool's commands: discovery
# (INQUIRY on every disk, the identity block of every candidate), the ordering by LUN (the identity
# blocks again), then the command's own reads and writes on the LUN 1 disk.

add_drive one

begin "the unit attention that adding LUN 1 left on LUN 0"
# INQUIRY passes a unit attention by; LUN 0's identity read takes it (the target answers it
# without reaching the drive) and is sent once more, so the drive sees a plain status.
run status
expect_rows "Removable" "Fixed Disk"
{ discovery one; read_id one 1; read_info one 1; } > /tmp/expected
expect_commands /tmp/expected

begin "status"
run status
expect_rows "Removable" "Fixed Disk"
{ discovery one; read_id one 1; read_info one 1; } > /tmp/expected
expect_commands /tmp/expected

begin "backup only reads"
run backup /tmp/backup.json
expect_status 0
[ -s /tmp/backup.json ] || fail "no backup file"
log_since_mark | grep -q ' 06 [02]6 ' && fail "backup sent a vendor write"

# set ROW TYPE CHANGE LUN0-ROW LUN1-ROW: the change, the commands, and status afterwards. Buttons
# 1005, 1007 and 1008 read the configuration block before the identity block, 1006 (LUN 1
# removable) the other way round; every change is confirmed by reading the block back.
set_and_check() {
    begin "set $1 $2"
    run set "$1" "$2"
    expect_status 0
    {
        discovery one
        if [ "$1 $2" = "lun1 removable" ]; then
            read_id one 1; read_info one 1
        else
            read_info one 1; read_id one 1
        fi
        write_block one 1 "$3"
        read_info one 1
    } > /tmp/expected
    expect_commands /tmp/expected
    run status
    expect_rows "$4" "$5"
}
set_and_check lun0 fixed "304:00>a1" "Fixed Disk" "Fixed Disk"
set_and_check lun1 removable "305:a1>00" "Fixed Disk" "Removable"
set_and_check lun0 removable "304:a1>00" "Removable" "Removable"
set_and_check lun1 fixed "305:00>a1" "Removable" "Fixed Disk"

begin "the default write"
# With no row texts, as in the window right after start, the block would go back as it was read:
# that changes nothing, so nothing is sent after the reads (a write costs the drive a flash write).
run write
expect_status 0
expect_said "Nothing was written: LUN 0 is already Removable and LUN 1 is already Fixed Disk."
{ discovery one; read_info one 1; read_id one 1; } > /tmp/expected
expect_commands /tmp/expected
run status
expect_rows "Removable" "Fixed Disk"

begin "a write with both row texts"
run write --lun0 "Fixed Disk" --lun1 "Removable"
expect_status 0
expect_said "Write Success"
{ discovery one; read_info one 1; read_id one 1; write_block one 1 "304:00>a1,305:a1>00"
  read_info one 1; } > /tmp/expected
expect_commands /tmp/expected
run status
expect_rows "Fixed Disk" "Removable"

begin "restore puts the backed-up block back"
run restore /tmp/backup.json --yes
expect_status 0
restored="$(write_block one 1 "304:a1>00,305:00>a1")"
log_since_mark | grep -qxF "$restored" ||
    fail "no \"$restored\" among the commands received: $(log_since_mark | tr '\n' ';')"
run status
expect_rows "Removable" "Fixed Disk"

begin "a user, without the drive service in the guest"
# Without root, status goes through the drive service; here there is none to go to.
run_as_tester status
expect_status 7
case "$RUN_ERR" in
    *"drive service"*"--direct"*) ;;
    *) fail "no word of the drive service and --direct: $RUN_ERR" ;;
esac
[ -z "$(log_since_mark)" ] || fail "commands reached the drive: $(log_since_mark | tr '\n' ';')"

begin "a user without rights on the sg nodes"
run_as_tester --direct status
expect_status 2
[ -z "$(log_since_mark)" ] || fail "commands reached the drive: $(log_since_mark | tr '\n' ';')"

begin "a user with the udev rule's rights on the sg nodes"
# The rule gives the logged-in user the drive's sg nodes; chown is the same for one user.
for node in $one_sg; do chown 1000:1000 "$node" && chmod 0600 "$node"; done
run_as_tester --direct status
expect_rows "Removable" "Fixed Disk"

finish
