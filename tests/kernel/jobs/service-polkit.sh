# vardelctl through the drive service on the real system bus, with the real polkitd and udevd,
# the drive attached through usb-storage (run by run-service-in-guest.sh): the user tester has no
# right on the drive's nodes, so every command goes through the service, which polkit asks about
# each call. No logind runs here: polkit sees tester in no active session, as a user who is not
# at the seat, and grants nothing but what the rules of the scenario grant.

. /vardel/service_lib.sh
service_start
add_drive one
clear_attention one
service_settle
no_access_exit=7
# Everything since the drive was attached: only INQUIRY and the vendor commands, whoever asked.
log_mark
whole_log_mark=$log_mark_line

begin "udev gives the sg nodes to the service's group alone; tester opens no node of the drive"
for node in $one_sg; do
    owner=$(in_root /usr/bin/stat -c '%U %G %a' "$node")
    [ "$owner" = "root vardel 660" ] || fail "$node: owner, group and mode are \"$owner\""
done
for node in $one_sg $one_disks; do
    if as_tester /bin/sh -c "exec 3<> $node" 2> /dev/null || as_tester /bin/sh -c "exec 3< $node" 2> /dev/null; then
        fail "tester opened $node"
    fi
done

begin "without a rule even status is refused, and the drive hears nothing"
polkit_grant none
run_client status
expect_status $no_access_exit
expect_err_has "vardelctl: polkit asks for a password for org.vardel.drives.read, and no authentication agent here can ask it: nothing was written. Run it in a desktop session, start pkttyagent, or run it as root (sudo vardelctl ...)"
: > /tmp/expected
expect_commands /tmp/expected

begin "with the read action granted, status goes through the service"
polkit_grant org.vardel.drives.read
run_client status
expect_rows "Removable" "Fixed Disk"
[ -n "$(service_pid)" ] || fail "no vardel-service runs after the call"
only_drive_commands

begin "set is refused without the change action, and nothing is written"
run_client set lun0 fixed
expect_status $no_access_exit
expect_err_has "vardelctl: polkit asks for a password for org.vardel.drives.change, and no authentication agent here can ask it: nothing was written. Run it in a desktop session, start pkttyagent, or run it as root (sudo vardelctl ...)"
expect_commands /tmp/expected
run_client status
expect_rows "Removable" "Fixed Disk"

begin "with the change action granted, set lun0 fixed changes byte 304 alone"
polkit_grant org.vardel.drives.read org.vardel.drives.change
run_client set lun0 fixed
expect_status 0
{
    discovery one
    read_info one 1; read_id one 1; write_block one 1 "304:00>a1"; read_info one 1
} > /tmp/expected
expect_commands /tmp/expected
run_client status
expect_rows "Fixed Disk" "Fixed Disk"

begin "two clients at once: both changes are made, one after the other"
log_mark
as_tester /vardel/program set lun0 removable > /tmp/first.out 2>&1 &
first=$!
as_tester /vardel/program set lun1 removable > /tmp/second.out 2>&1 &
second=$!
wait $first || fail "the first set exited $?: $(cat /tmp/first.out)"
wait $second || fail "the second set exited $?: $(cat /tmp/second.out)"
writes=$(log_since_mark | grep -c ' 06 06 ')
[ "$writes" = 2 ] || fail "$writes writes, expected 2"
log_since_mark | grep ' 06 06 ' | grep -q 'changed=304:a1>00$' || fail "no write changed byte 304 alone"
log_since_mark | grep ' 06 06 ' | grep -q 'changed=305:a1>00$' || fail "no write changed byte 305 alone"
run_client status
expect_rows "Removable" "Removable"

begin "the drive heard only INQUIRY and the vendor commands throughout"
log_mark_line=$whole_log_mark
only_drive_commands

finish
