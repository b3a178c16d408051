# Benchmark, not a test (tools/run-benchmarks.sh boots it): the wall time of `vardelctl status`
# on one drive over two LUNs against the floor of this setup, a minimal SG_IO loop
# (/vardel/sg_floor --repeat N) on the same disks, all inside one boot. Prints one BENCH line.
#
# The tool's status sends 8 commands: INQUIRY to both disks, the identity block of both (the
# scan), of both again (the ordering by LUN) and of LUN 1 once more, then LUN 1's configuration
# block. sg_floor sends INQUIRY and the identity read to each node it is given and the
# configuration read to the last, so no node list gives exactly that sequence: on "sg0 sg1" it
# sends 5 commands (three identity reads fewer), on "sg0 sg1 sg0 sg1 sg1" 11 (three INQUIRYs
# more). The floor of the tool's own sequence lies between the two.

rounds=100
blocks=2

centiseconds() {  # the guest's uptime; busybox's date has no sub-second format
    read -r up _ < /proc/uptime
    echo "${up%.*}${up#*.}"
}

add_drive one
clear_attention one
set -- $one_sg
short_nodes="$1 $2"
long_nodes="$1 $2 $1 $2 $2"

begin "status answers before it is timed"
run status
expect_rows "Removable" "Fixed Disk"
{
    inquiry one 0; inquiry one 1
    read_id one 0; read_id one 1; read_id one 0; read_id one 1
    read_id one 1; read_info one 1
} > /tmp/expected
expect_commands /tmp/expected
[ $failures -eq 0 ] || finish

tool=0 floor_short=0 floor_long=0 floor_processes=0
block=0
# The measurements take turns, so that a slow stretch of the host falls on all of them.
while [ $block -lt $blocks ]; do
    start=$(centiseconds)
    i=0
    while [ $i -lt $rounds ]; do
        /vardel/program status > /dev/null 2>&1 || fail "status failed in round $i"
        i=$((i + 1))
    done
    tool=$((tool + $(centiseconds) - start))

    start=$(centiseconds)
    /vardel/sg_floor --repeat $rounds $short_nodes > /dev/null || fail "sg_floor $short_nodes"
    floor_short=$((floor_short + $(centiseconds) - start))

    start=$(centiseconds)
    /vardel/sg_floor --repeat $rounds $long_nodes > /dev/null || fail "sg_floor $long_nodes"
    floor_long=$((floor_long + $(centiseconds) - start))

    # The short floor again, one process per round like the tool.
    start=$(centiseconds)
    i=0
    while [ $i -lt $rounds ]; do
        /vardel/sg_floor $short_nodes > /dev/null || fail "sg_floor $short_nodes in round $i"
        i=$((i + 1))
    done
    floor_processes=$((floor_processes + $(centiseconds) - start))
    block=$((block + 1))
done

echo "BENCH runs=$((rounds * blocks)) tool_cs=$tool floor_short_cs=$floor_short" \
     "floor_long_cs=$floor_long floor_short_processes_cs=$floor_processes"
finish
