# Callers the drive service must refuse, on the real system bus with the real polkitd (run by
# run-service-in-guest.sh): tester is granted both actions, so that each refusal is the service's
# own. Each call ends with a D-Bus error or an outcome that writes nothing; the service answers
# the next call; and in the whole job the drives receive no vendor write. Drive two is known only
# by its long signature (PMAP1234 at INQUIRY bytes 36..43, revision 1100), which udev's rule
# learns through vardel-signature: the service reaches it like the other.

. /vardel/service_lib.sh
service_start
add_drive one
add_drive two --serial VD0000000002 --revision 1100
clear_attention one
clear_attention two
service_settle
log_mark
whole_log_mark=$log_mark_line
polkit_grant org.vardel.drives.read org.vardel.drives.change
invalid=org.vardel.Drives1.Error.InvalidArgument
huge=$(head -c 100000 /dev/zero | tr '\0' 'x')

still_serving() {
    bus_call Status string:VD0000000001
    expect_outcome_code 0
}

begin "a drive known only by its long signature: its sg nodes go to the group, the service reads it"
for node in $two_sg; do
    owner=$(in_root /usr/bin/stat -c '%U %G %a' "$node")
    [ "$owner" = "root vardel 660" ] || fail "$node: owner, group and mode are \"$owner\""
done
bus_call Status string:VD0000000002
expect_outcome_code 0

begin "arguments the service refuses before it reaches a drive"
while IFS='|' read -r error method arguments; do
    eval "bus_call $method $arguments"
    expect_bus_error "$error"
done <<'CASES'
org.vardel.Drives1.Error.UnknownDrive|Set|string:VD9999999999 uint32:0 uint32:161 boolean:false
org.vardel.Drives1.Error.InvalidArgument|Set|string:VD0000000001 uint32:2 uint32:161 boolean:false
org.vardel.Drives1.Error.InvalidArgument|Set|string:VD0000000001 uint32:0 uint32:256 boolean:false
org.vardel.Drives1.Error.InvalidArgument|Set|string:VD0000000001 uint32:0 uint32:5 boolean:false
org.vardel.Drives1.Error.InvalidArgument|Set|string:VD0000000001 uint32:0
org.vardel.Drives1.Error.InvalidArgument|Write|string:VD0000000001 string:Sideways string: boolean:false
org.vardel.Drives1.Error.InvalidArgument|Write|string:VD0000000001 string:0x1FF string: boolean:false
org.vardel.Drives1.Error.InvalidArgument|Set|string:/etc/passwd uint32:0 uint32:161 boolean:false
org.vardel.Drives1.Error.InvalidArgument|Status|"string:$huge"
org.vardel.Drives1.Error.InvalidArgument|Write|string:VD0000000001 "string:$huge" string: boolean:false
org.vardel.Drives1.Error.InvalidArgument|Restore|string:VD0000000001 "string:$huge" boolean:false boolean:false
CASES
still_serving

begin "a backup of the other drive is not restored onto this one"
/vardel/program --direct --device VD0000000002 backup /tmp/two.backup > /tmp/backup.out 2>&1 ||
    fail "backup of drive two: $(cat /tmp/backup.out)"
bus_call Restore string:VD0000000001 "string:$(cat /tmp/two.backup)" boolean:false boolean:false
wrong_device=7  # OutcomeCode::WrongDevice
expect_outcome_code $wrong_device
still_serving

begin "calls in parallel are all answered"
calls=""
for n in 1 2 3 4 5 6; do
    as_tester /usr/bin/dbus-send --system --print-reply --dest=org.vardel.Drives1 \
        /org/vardel/Drives1 org.vardel.Drives1.Status string:VD000000000$((n % 2 + 1)) \
        > /tmp/parallel.$n 2>&1 &
    calls="$calls $!"
done
for call in $calls; do wait $call || fail "a parallel call ended with $?"; done
for n in 1 2 3 4 5 6; do
    grep -A1 '"code"' /tmp/parallel.$n | grep -q 'uint32 0$' ||
        fail "parallel call $n: $(head -c 300 /tmp/parallel.$n)"
done
still_serving

begin "a caller that leaves while polkit is asked gets no change"
# The rule answers after a pause, and says when it was asked, so that the caller leaves mid-call.
polkit_rule 'if (subject.user == "tester" && action.id == "org.vardel.drives.change") {
        polkit.spawn(["/bin/sh", "-c", "touch /tmp/asked; sleep 3"]);
        return polkit.Result.YES;
    }
    if (subject.user == "tester" && action.id == "org.vardel.drives.read") return polkit.Result.YES;'
log_mark
as_tester /usr/bin/dbus-send --system --print-reply --dest=org.vardel.Drives1 /org/vardel/Drives1 \
    org.vardel.Drives1.Set string:VD0000000001 uint32:0 uint32:161 boolean:false > /tmp/left.out 2>&1 &
caller=$!
wait_for "$GUEST_ROOT/tmp/asked" 30
# The caller is dbus-send itself, not the shell that started it in the root.
kill $(pidof dbus-send) || fail "the caller had already left"
wait $caller
grep -q 'method return' /tmp/left.out && fail "the caller got its answer: $(cat /tmp/left.out)"
still_serving
expect_rows_of_one() {
    printf '%s\n' "$CALL_OUT" | grep -A1 '"lun0"' | grep -q 'byte 0$' ||
        fail "LUN 0 is no longer removable: $(printf '%s' "$CALL_OUT" | head -c 400)"
}
expect_rows_of_one

begin "no vendor write reached either drive in the whole job"
log_mark_line=$whole_log_mark
only_drive_commands
writes=$(log_since_mark | grep -c ' 06 06 ')
[ "$writes" = 0 ] || fail "$writes vendor writes: $(log_since_mark | grep ' 06 06 ')"

finish
