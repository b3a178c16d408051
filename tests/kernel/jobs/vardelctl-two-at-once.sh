# Two vardelctl processes at once on one USB drive, through the real kernel: a change holds the
# drive's lock (flock on the sg node of the LUN 1 disk, where the commands go) from its first read
# to its read-back, so two changes started together are both kept, or the later one says the
# drive is busy; a run that finds the node held for the whole wait writes nothing and exits 8.

add_drive one
clear_attention one
target_sg=${one_sg#* }
rounds=10
busy_exit=8

# The two rows after both runs: each run's change where it exited 0, the row as it was where the
# run was busy.
begin "two set commands at once, $rounds rounds"
round=1
while [ $round -le $rounds ]; do
    run write --lun0 removable --lun1 fixed
    expect_status 0
    /vardel/program set lun0 fixed > /tmp/first.out 2>&1 &
    first=$!
    /vardel/program set lun1 removable > /tmp/second.out 2>&1 &
    second=$!
    wait $first
    first_status=$?
    wait $second
    second_status=$?
    lun0="Fixed Disk"
    lun1="Removable"
    for status in "first $first_status" "second $second_status"; do
        case "${status#* }" in
            0) ;;
            "$busy_exit") echo "  the ${status% *} run was busy" ;;
            *) fail "round $round: the ${status% *} run exited ${status#* }:" \
                   "$(cat /tmp/${status% *}.out)" ;;
        esac
    done
    [ "$first_status" = "$busy_exit" ] && lun0="Removable"
    [ "$second_status" = "$busy_exit" ] && lun1="Fixed Disk"
    run status
    expect_rows "$lun0" "$lun1"
    round=$((round + 1))
done

begin "a run that finds the drive held is busy and sends nothing after discovery"
run write --lun0 removable --lun1 fixed
expect_status 0
: > /tmp/hold.out
/vardel/hold_lock "$target_sg" 300 > /tmp/hold.out 2>&1 &
holder=$!
waited=0
until grep -qx held /tmp/hold.out; do
    [ $waited -lt 100 ] || { fail "hold_lock never held $target_sg: $(cat /tmp/hold.out)"; break; }
    sleep 0.1
    waited=$((waited + 1))
done
run set lun0 fixed
expect_status "$busy_exit"
expect_err_has "The drive is busy: another program is changing it"
discovery one > /tmp/expected
expect_commands /tmp/expected
run --json set lun1 removable
expect_status "$busy_exit"
case "$(printf '%s' "$RUN_OUT" | tr -d ' \n')" in
    *'"outcome":"busy","exitCode":8'*) ;;
    *) fail "the JSON report is not busy: $RUN_OUT" ;;
esac
kill $holder 2> /dev/null
wait $holder 2> /dev/null
run status
expect_rows "Removable" "Fixed Disk"
run set lun0 fixed
expect_status 0
run status
expect_rows "Fixed Disk" "Fixed Disk"

finish
