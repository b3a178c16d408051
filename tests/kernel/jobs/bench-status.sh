# Benchmark, not a test (tools/run-benchmarks.sh boots it): the wall time of `vardelctl status`
# on one drive over two LUNs against the floor of this setup, all inside one boot. Prints one
# BENCH line.
#
# The floor is sg_floor (tools/kernel/sg_floor.cpp), a minimal static program, sending exactly
# the CDBs that status sends, in the same order, each on a node opened for it alone: INQUIRY to
# both disks, the identity block of both (the scan), of both again (the ordering by LUN) and of
# LUN 1 once more, then LUN 1's configuration block. In the scan each disk's identity read is
# followed by the question where its device sits (the SCSI address, which tells two drives of one
# serial apart): it sends the drive nothing, but opens the node once more, and so does the floor
# (SG_GET_SCSI_ID on a node opened for it alone). vardelctl starts one process per command, so
# the fair floor is sg_floor started once per round; sg_floor --repeat, one process for all
# rounds, is the cost of the commands alone and is shown for reference. Three more programs say
# where the tool's own time goes: `vardelctl --version` (start-up and the option parser),
# `vardelctl --emulate status` (the same, and the commands on the built-in machine, no disk) and
# sg_floor refusing its arguments (a static process that does nothing).

rounds=50
blocks=8
status_sequence="inquiry:0 inquiry:1 identity:0 address:0 identity:1 address:1 identity:0 identity:1"
status_sequence="$status_sequence identity:1 config:1"

centiseconds() {  # the guest's uptime; busybox's date has no sub-second format
    read -r up _ < /proc/uptime
    echo "${up%.*}${up#*.}"
}

add_drive one
clear_attention one
nodes="$one_sg"
{
    inquiry one 0; inquiry one 1
    read_id one 0; read_id one 1; read_id one 0; read_id one 1
    read_id one 1; read_info one 1
} > /tmp/expected

begin "status answers before it is timed"
run status
expect_rows "Removable" "Fixed Disk"
expect_commands /tmp/expected

begin "the floor sends the same commands as status"
log_mark
/vardel/sg_floor --sequence "$status_sequence" $nodes > /tmp/floor.out
status=$?
cat /tmp/floor.out
[ $status -eq 0 ] || fail "sg_floor --sequence exited with $status"
expect_commands /tmp/expected
[ $failures -eq 0 ] || finish

# Runs "$@" $rounds times, one process each, and adds the centiseconds taken to the variable
# named first.
time_processes() {
    total_name="$1"
    shift
    start=$(centiseconds)
    i=0
    while [ $i -lt $rounds ]; do
        "$@" > /dev/null 2>&1
        i=$((i + 1))
    done
    eval "$total_name=\$(($total_name + $(centiseconds) - start))"
}

tool=0 floor=0 floor_repeat=0 version=0 emulated=0 empty=0
block=0
# The measurements take turns, so that a slow stretch of the host falls on all of them.
while [ $block -lt $blocks ]; do
    log_mark
    time_processes tool /vardel/program status
    log_since_mark > /tmp/tool.commands
    log_mark
    time_processes floor /vardel/sg_floor --sequence "$status_sequence" $nodes
    log_since_mark > /tmp/floor.commands
    # Every round of both must have reached the drive with the same commands.
    [ "$(wc -l < /tmp/tool.commands)" -eq $((rounds * 8)) ] ||
        fail "status sent $(wc -l < /tmp/tool.commands) commands in block $block"
    cmp -s /tmp/tool.commands /tmp/floor.commands ||
        fail "the floor's commands differ from status's in block $block"

    start=$(centiseconds)
    /vardel/sg_floor --repeat $rounds --sequence "$status_sequence" $nodes > /dev/null ||
        fail "sg_floor --repeat failed in block $block"
    floor_repeat=$((floor_repeat + $(centiseconds) - start))

    time_processes version /vardel/program --version
    time_processes emulated /vardel/program --emulate status
    time_processes empty /vardel/sg_floor
    block=$((block + 1))
done

echo "BENCH runs=$((rounds * blocks)) tool_cs=$tool floor_cs=$floor" \
     "floor_repeat_cs=$floor_repeat version_cs=$version emulated_cs=$emulated empty_cs=$empty"
finish
