# The drive service as a systemd unit, sandbox and all (run by run-service-in-guest.sh): the root's
# own systemd runs as the first process of a process namespace of its own, the way a container
# manager starts it, with its system bus, polkitd and logind. The bus starts the service through
# its unit (SystemdService=), so the unit's sandboxing keys are the ones that apply; the jobs
# without systemd show the bus's own activation. The drive's nodes come from udev beforehand, as
# on a machine where the drive was plugged in before the service first started.

. /vardel/service_lib.sh
service_prepare
add_drive one
clear_attention one
service_settle
systemd_boot
vardel_uid=$(sed -n 's/^vardel:[^:]*:\([0-9]*\):.*/\1/p' "$GUEST_ROOT/etc/passwd")

begin "status starts the unit through the bus, and the service runs sandboxed"
polkit_grant org.vardel.drives.read
run_in_systemd status
expect_rows "Removable" "Fixed Disk"
[ "$(in_systemd /usr/bin/systemctl is-active vardel-service.service)" = active ] ||
    fail "the unit vardel-service.service is not active after the call"
pid=$(in_systemd /usr/bin/systemctl show -p MainPID --value vardel-service.service)
in_systemd /bin/cat /proc/$pid/status > /tmp/status
for line in "Uid:	$vardel_uid	$vardel_uid	$vardel_uid	$vardel_uid" "CapEff:	0000000000000000" \
    "CapBnd:	0000000000000000" "NoNewPrivs:	1" "Seccomp:	2"; do
    grep -qxF "$line" /tmp/status || fail "the service's status lacks \"$line\": $(tr '\n' ' ' < /tmp/status)"
done
# PrivateNetwork: a network namespace with nothing but its loopback.
interfaces=$(in_systemd /bin/cat /proc/$pid/net/dev | sed -n '3,$s/^ *\([^:]*\):.*/\1/p' | tr '\n' ' ')
[ "$interfaces" = "lo " ] || fail "the service sees the interfaces $interfaces"
in_systemd /usr/bin/systemd-analyze security --no-pager vardel-service.service | tail -n 1
only_drive_commands

begin "a change through the unit: byte 304 alone, its journal entry in the state folder"
polkit_grant org.vardel.drives.read org.vardel.drives.change
run_in_systemd set lun0 fixed
expect_status 0
{
    discovery one
    read_info one 1; read_id one 1; write_block one 1 "304:00>a1"; read_info one 1
} > /tmp/expected
expect_commands /tmp/expected
# The unit's StateDirectory is the one place its read-only system lets it write.
run_in_systemd history
expect_status 0
case "$RUN_OUT" in
    "Changes in the journal (/var/lib/vardel/journal), oldest first:
"*"  set  Lun0: Removable -> Fixed Disk, Lun1: Fixed Disk") ;;
    *) fail "the service's journal does not hold the change" ;;
esac

begin "idle, the service ends by itself and systemd sees it end cleanly"
sleep 32
state=$(in_systemd /usr/bin/systemctl show -p ActiveState --value vardel-service.service)
result=$(in_systemd /usr/bin/systemctl show -p Result --value vardel-service.service)
[ "$state $result" = "inactive success" ] || fail "after 32 s idle the unit is \"$state\", \"$result\""

finish
