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

begin "while tester's change waits for a password nobody types, root's status is answered"
# tester starts an agent of its own on a terminal of its own (as systemctl does), then calls Set:
# no rule grants it the change, so polkit asks the agent for the administrator's password, and
# nobody types it. The service asks polkit without waiting for the answer.
rm -f "$GUEST_ROOT/tmp/change.pid" "$GUEST_ROOT/tmp/agent.pid" "$GUEST_ROOT/tmp/agent.ready"
# The agent asks on a terminal: script makes one, from the pseudo-terminals' file system.
mkdir -p "$GUEST_ROOT/dev/pts"
grep -q " $GUEST_ROOT/dev/pts " /proc/mounts || mount -t devpts devpts "$GUEST_ROOT/dev/pts" ||
    fail "cannot mount the pseudo-terminals"
log_mark
# The agent closes its notify descriptor once polkit has it (polkitd may be starting yet): only
# then does the set go out, from the process the agent stands for. No --fallback: polkit takes a
# fallback agent only for a subject in a session, and here there is none.
as_tester /usr/bin/script -qfec 'mkfifo /tmp/agent.ready
    /usr/bin/pkttyagent --process $$ --notify-fd 5 5> /tmp/agent.ready &
    echo $! > /tmp/agent.pid; cat /tmp/agent.ready; echo $$ > /tmp/change.pid
    exec /vardel/program set lun0 fixed' /dev/null > /tmp/agent.out 2>&1 &
waiting=$!
tries=0
until grep -q "AUTHENTICATING FOR org.vardel.drives.change" /tmp/agent.out; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ]; then
        fail "polkit did not ask tester's agent: $(cat /tmp/agent.out)"
        break
    fi
    sleep 0.1
done
sed 's/^/  agent| /' /tmp/agent.out
echo "+ vardelctl --service status (as root, through the root, while the password is asked)"
started=$(in_root /usr/bin/date +%s%N)
in_root /vardel/program --service status > /tmp/run.out 2> /tmp/run.err
collect_run $?
echo "  answered in $(( ($(in_root /usr/bin/date +%s%N) - started) / 1000000 )) ms"
expect_status 0
expect_rows "Removable" "Fixed Disk"
kill -0 $waiting 2>/dev/null || fail "tester's set ended before its password was typed: $(cat /tmp/agent.out)"
# tester gives up: its set and its agent end, and nothing is written on its behalf.
kill $(cat "$GUEST_ROOT/tmp/change.pid") $(cat "$GUEST_ROOT/tmp/agent.pid")
wait $waiting || true
[ -z "$(log_since_mark | grep ' 06 06 ')" ] || fail "a write reached the drive: $(log_since_mark | grep ' 06 06 ')"
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
