# Benchmark, not a test (tools/run-benchmarks.sh boots it through run-service-in-guest.sh): what
# the drive service costs `vardelctl status` on one USB drive, all inside one boot. Prints one
# BENCH line:
# - service_cs, direct_cs: the centiseconds of the rounds of `vardelctl status` through the
#   running service (as tester, whom a rule grants the read) and of `vardelctl --direct status`
#   (as root), one process each, taking turns by blocks;
# - activation_cs: the first call when no service runs (the bus starts it), activations times;
# - rss_kb: the idle service's resident memory (VmRSS) after the calls.

. /vardel/service_lib.sh
rounds=25
blocks=4
activations=5

centiseconds() {  # the guest's uptime; busybox's date has no sub-second format
    read -r up _ < /proc/uptime
    echo "${up%.*}${up#*.}"
}

service_start
add_drive one
clear_attention one
service_settle
polkit_grant org.vardel.drives.read

as_root() { in_root /usr/bin/setpriv --reuid=0 --regid=0 --clear-groups /usr/bin/env HOME=/root "$@"; }

begin "both ways answer before they are timed, with the same commands"
run_client status
expect_rows "Removable" "Fixed Disk"
log_since_mark > /tmp/service.commands
log_mark
as_root /vardel/program --direct status > /dev/null 2>&1 || fail "--direct status failed"
log_since_mark > /tmp/direct.commands
cmp -s /tmp/service.commands /tmp/direct.commands ||
    fail "the service sent other commands: $(diff /tmp/direct.commands /tmp/service.commands)"
[ $failures -eq 0 ] || finish

time_rounds() {  # time_rounds VARIABLE COMMAND...: adds the centiseconds of $rounds runs
    total_name="$1"
    shift
    start=$(centiseconds)
    i=0
    while [ $i -lt $rounds ]; do
        "$@" > /dev/null 2>&1 || fail "$* failed"
        i=$((i + 1))
    done
    eval "$total_name=\$(($total_name + $(centiseconds) - start))"
}

stop_service() {
    pid=$(service_pid)
    [ -z "$pid" ] || kill $pid
    while [ -n "$(service_pid)" ]; do sleep 0.05; done
}

service=0 direct=0 activation=0
block=0
while [ $block -lt $blocks ]; do
    time_rounds service as_tester /vardel/program status
    time_rounds direct as_root /vardel/program --direct status
    block=$((block + 1))
done

n=0
while [ $n -lt $activations ]; do
    stop_service
    start=$(centiseconds)
    as_tester /vardel/program status > /dev/null 2>&1 || fail "status after the service ended"
    activation=$((activation + $(centiseconds) - start))
    n=$((n + 1))
done

sleep 2
pid=$(service_pid)
rss_kb=$(awk '$1 == "VmRSS:" { print $2 }' "/proc/$pid/status")
echo "BENCH runs=$((rounds * blocks)) service_cs=$service direct_cs=$direct" \
     "activations=$activations activation_cs=$activation rss_kb=${rss_kb:-0}"
finish
