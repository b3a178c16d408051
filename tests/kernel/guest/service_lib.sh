# The drive service in the guest (run-service-in-guest.sh): the root of make-service-image.sh with
# the project's installed files, its own system bus and polkitd, and udev's daemon applying the
# rules, the project's among Debian's own. No systemd runs: the bus starts the service itself,
# through its setuid activation helper, as the account the D-Bus service file names.
#
#   service_prepare         service_start without the system bus, for systemd_boot
#   systemd_boot            the root's own systemd as the first process of a process and mount
#                           namespace of its own (as a container manager starts it); it starts
#                           its bus, logind, and polkitd and the service through their units.
#                           After service_prepare and the drives (udevd ends: its events are
#                           done, and systemd in a container runs none)
#   in_systemd COMMAND...   COMMAND in systemd's namespaces, as root
#   run_in_systemd ARGS...  /vardel/program ARGS as tester there, as run does
#   service_start           mounts the root (root_lib.sh), unpacks the staged install tree
#                           (/vardel/files/service.tar, `cmake --install --component service`) into
#                           it, runs the package's postinst (the account vardel, /var/lib/vardel),
#                           starts udevd and the system bus. Call it before adding the drives.
#   service_settle          waits until udev has handled every event (after adding a drive)
#   in_root COMMAND...      COMMAND in the root, as root
#   as_tester COMMAND...    COMMAND in the root as the user tester (uid 1000, no other group)
#   run_client ARGS...      /vardel/program ARGS as tester in the root, as run does
#   polkit_grant ACTION...  the rule file grants tester those polkit actions (none: no rule), and
#                           polkitd starts again to read it (polkit_rule BODY: a rule of one's own)
#   bus_call METHOD ARGS... the method called by tester with dbus-send; CALL_STATUS, CALL_OUT
#   expect_bus_error NAME, expect_outcome_code N
#                           the call ended with that D-Bus error, or with that outcome code
#   service_pid             the running service's process id, or nothing
#   only_drive_commands     fails unless every command the drives received since the mark, but
#                           the kernel's own, is INQUIRY or a vendor command

. /vardel/root_lib.sh
POLKIT_RULE=/etc/polkit-1/rules.d/50-vardel-test.rules

in_root() {
    chroot "$GUEST_ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"
}

as_tester() {
    in_root /usr/bin/setpriv --reuid=1000 --regid=1000 --clear-groups \
        /usr/bin/env HOME=/tmp USER=tester "$@"
}

service_start() {
    service_prepare
    in_root /usr/bin/dbus-daemon --system --fork --nopidfile || die "the system bus did not start"
    wait_for "$GUEST_ROOT/run/dbus/system_bus_socket"
}

service_prepare() {
    root_mount
    mount -t tmpfs tmpfs "$GUEST_ROOT/run" || die "cannot mount /run in the root"
    tar -xf /vardel/files/service.tar -C "$GUEST_ROOT" || die "cannot unpack the install tree"
    in_root /bin/sh /vardel/files/postinst configure || die "the package's postinst failed"
    mkdir -p "$GUEST_ROOT/run/udev" "$GUEST_ROOT/run/dbus"
    in_root /usr/lib/systemd/systemd-udevd --daemon || die "udevd did not start"
}

SYSTEMD_PID=""

# end_program NAME: the running program of that name, if any, ends, and is waited for (10 s)
end_program() {
    pid=$(pidof "$1" || true)
    [ -n "$pid" ] || return 0
    kill $pid
    tries=0
    while kill -0 $pid 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || die "$1 did not end"
        sleep 0.1
    done
}

systemd_boot() {
    end_program systemd-udevd
    # systemd mounts /proc, /sys, /run and /tmp itself, for its own namespaces.
    for folder in run tmp sys proc; do umount "$GUEST_ROOT/$folder" || die "cannot unmount /$folder"; done
    # What a console or a timer would start is of no use here, and costs seconds under emulation.
    for unit in console-getty.service getty@tty1.service apt-daily.timer apt-daily-upgrade.timer \
        dpkg-db-backup.timer e2scrub_all.timer e2scrub_reap.service systemd-tmpfiles-clean.timer; do
        ln -sf /dev/null "$GUEST_ROOT/etc/systemd/system/$unit"
    done
    chroot "$GUEST_ROOT" /usr/bin/unshare --pid --fork --mount --propagation private \
        /usr/bin/env container=vardel-guest /lib/systemd/systemd --show-status=false \
        --log-target=console --log-level=warning < /dev/null > /tmp/systemd.log 2>&1 &
    parent=$!
    tries=0
    while [ -z "$SYSTEMD_PID" ]; do
        for stat in /proc/[0-9]*/stat; do
            set -- $(cat "$stat" 2>/dev/null)
            [ "${4:-}" != "$parent" ] || SYSTEMD_PID=$1
        done
        tries=$((tries + 1))
        [ $tries -le 100 ] || die "systemd did not start: $(cat /tmp/systemd.log)"
        sleep 0.1
    done
    tries=0
    while :; do
        state=$(in_systemd /usr/bin/systemctl is-system-running 2>/dev/null || true)
        case "$state" in running) break ;; degraded)
            in_systemd /usr/bin/systemctl --failed --no-pager
            die "systemd came up degraded" ;;
        esac
        tries=$((tries + 1))
        [ $tries -le 120 ] || die "systemd is \"$state\" after a minute: $(cat /tmp/systemd.log)"
        sleep 0.5
    done
    echo "systemd: running, $(in_systemd /usr/bin/systemctl --version | head -n 1)"
}

in_systemd() {
    nsenter -t "$SYSTEMD_PID" -m -p -r -w /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        LC_ALL=C.UTF-8 "$@"
}

run_in_systemd() {
    echo "+ vardelctl $* (as tester, under systemd)"
    log_mark
    in_systemd /usr/bin/setpriv --reuid=1000 --regid=1000 --clear-groups \
        /usr/bin/env HOME=/tmp USER=tester /vardel/program "$@" > /tmp/run.out 2> /tmp/run.err
    collect_run $?
}

service_settle() {
    in_root /usr/bin/udevadm settle --timeout=60 || die "udev did not settle"
}

run_client() {
    echo "+ vardelctl $* (as tester, through the root)"
    log_mark
    as_tester /vardel/program "$@" > /tmp/run.out 2> /tmp/run.err
    collect_run $?
}

service_pid() {
    pidof vardel-service || true
}

polkit_grant() {
    if [ "$1" = none ]; then
        polkit_rule ""
    else
        # No logind runs in the guest, so polkit sees no session and tester is not the active
        # local user: the actions' defaults refuse him everything. The rule grants what the
        # scenario needs, the way an administrator would.
        rule='if (subject.user != "tester") return polkit.Result.NOT_HANDLED;'
        for action in "$@"; do
            rule="$rule if (action.id == \"$action\") return polkit.Result.YES;"
        done
        polkit_rule "$rule"
    fi
    echo "polkit: tester is granted: $*"
}

# polkit_rule BODY: the rule file holds one rule of that body (function(action, subject)), or
# none when BODY is empty
polkit_rule() {
    rules="$GUEST_ROOT$POLKIT_RULE"
    rm -f "$rules"
    if [ -n "$1" ]; then
        printf 'polkit.addRule(function(action, subject) {\n    %s\n});\n' "$1" > "$rules"
        chmod 644 "$rules"
    fi
    # polkitd reads its rules when it starts; the bus starts it again at the next question.
    end_program polkitd
}

# bus_call METHOD ARGUMENTS...: the service's method called by tester with dbus-send (its
# argument syntax: string:..., uint32:..., boolean:...); CALL_STATUS, and CALL_OUT with the reply
# or the error's name and text
bus_call() {
    echo "+ $1 (dbus-send as tester)"
    log_mark
    CALL_OUT=$(as_tester /usr/bin/dbus-send --system --print-reply --reply-timeout=60000 \
        --dest=org.vardel.Drives1 /org/vardel/Drives1 "org.vardel.Drives1.$@" 2>&1)
    CALL_STATUS=$?
}

expect_bus_error() {  # expect_bus_error NAME: the call ended with that D-Bus error
    case "$CALL_OUT" in
        "Error $1:"*) echo "  $(printf '%s' "$CALL_OUT" | head -c 200)" ;;
        *) fail "not the error $1: $(printf '%s' "$CALL_OUT" | head -c 400)" ;;
    esac
}

expect_outcome_code() {  # expect_outcome_code N: the reply's outcome has code N
    code=$(printf '%s\n' "$CALL_OUT" | grep -A1 '"code"' | sed -n 's/.*uint32 \([0-9]*\).*/\1/p')
    [ "$CALL_STATUS" = 0 ] && [ "$code" = "$1" ] ||
        fail "outcome code \"$code\" (status $CALL_STATUS), expected $1: $(printf '%s' "$CALL_OUT" | head -c 400)"
}

only_drive_commands() {
    strays=$(log_since_mark | grep -v -E '^[^ ]+ lun[01] (12 00|06 05|06 06) ')
    [ -z "$strays" ] || fail "the drives received other commands than INQUIRY and the vendor ones: $strays"
}
