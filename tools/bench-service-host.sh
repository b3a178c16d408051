#!/usr/bin/env bash
# Benchmark, not a test: what the drive service costs `vardelctl status` on this machine, natively.
# tools/run-benchmarks.sh runs it; CI runs it briefly, so that a broken setup fails loudly.
#
#   tools/bench-service-host.sh [--build DIR] [--runs N] [--warmup N] [--results DIR] [--strace]
#
# As root. Everything runs in a mount namespace of its own (unshare --mount), where tmpfs mounts
# over /usr/share/polkit-1/actions, /usr/share/polkit-1/rules.d and /etc/polkit-1/rules.d hold the
# project's actions (res/linux/dbus/org.vardel.drives.policy) and one rule that grants nobody
# org.vardel.drives.read; the host's own files are never touched. In there:
# - a private bus (dbus-daemon, a cut-down system bus configuration with polkit's and the
#   service's own bus policies) with Debian's polkitd on it (which takes the user polkitd), and the service's
#   bus glue on an emulated drive (DIR/bench/service_on_test_bus, policy `polkit`: every call asks
#   polkitd, as vardel-service does);
# - a second private bus with the same service but polkit's stand-in (policy `grant-change`: a thread
#   of the same process that owns polkit's name on that bus and grants at once);
# then, as nobody (setpriv), hyperfine times three commands on the same emulated drive
# (tests/vardelctl/scenarios/plain.json): `vardelctl --emulate=FILE status` (directly),
# `vardelctl --service status` on the polkit bus and on the stand-in's bus. Before that it checks
# that all three print the same, and that polkitd refuses nobody a change (so it is really asked).
# Writes DIR/results/service-host.json (hyperfine's) and prints one BENCH line with the means and
# standard deviations in microseconds, and the CPU time per call of each process on the way (the
# polkit bus, polkitd, its service; the stand-in's bus and service), from /proc. --strace: instead of timing, one call through polkit with
# strace -f -tt -T on the caller, the service, polkitd and the bus, into DIR/results/strace.*.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
runs=300
warmup=30
results=
profile=
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --warmup) warmup="$2"; shift 2 ;;
        --results) results="$2"; shift 2 ;;
        --strace) profile=--strace; shift ;;
        *) echo "usage: $0 [--build DIR] [--runs N] [--warmup N] [--results DIR] [--strace]" >&2
           exit 64 ;;
    esac
done
results=${results:-$build/results}
polkitd=/usr/lib/polkit-1/polkitd
service=$(realpath -m "$build/bench/service_on_test_bus")
vardelctl=$(realpath -m "$build/vardelctl")
scenario=$PWD/tests/vardelctl/scenarios/plain.json

fail() { echo "bench-service-host: $*" >&2; exit 1; }

if [ -z "${VARDEL_BENCH_NAMESPACE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || fail "must run as root (a mount namespace, and the caller as nobody)"
    for tool in dbus-daemon hyperfine setpriv unshare busctl; do
        command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh all)"
    done
    [ -x "$polkitd" ] || fail "$polkitd is missing (Debian's polkitd package)"
    getent passwd polkitd >/dev/null || fail "the user polkitd is missing (polkitd package)"
    getent passwd nobody >/dev/null || fail "the user nobody is missing"
    [ -z "$profile" ] || command -v strace >/dev/null || fail "strace is missing"
    for program in "$service" "$vardelctl"; do
        [ -x "$program" ] || fail "$program is missing (cmake --build --preset bench)"
    done
    mkdir -p "$results"
    # The namespace's mounts end with its last process; the script's trap ends its processes.
    VARDEL_BENCH_NAMESPACE=1 exec unshare --mount --propagation private -- \
        "$0" --build "$build" --runs "$runs" --warmup "$warmup" --results "$results" $profile
fi

work=$(mktemp -d /tmp/vardel-bench-service-host.XXXXXX)
chmod 755 "$work"
pids=()
declare -A pid_of  # the processes on the service's path, by role
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    [ -n "${VARDEL_BENCH_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# polkitd reads only these folders; each gets a tmpfs of this namespace's own.
for folder in /usr/share/polkit-1/actions /usr/share/polkit-1/rules.d /etc/polkit-1/rules.d; do
    # Made by the polkitd package; the host's own folders are never created or changed.
    [ -d "$folder" ] || fail "$folder is missing (Debian's polkitd package)"
    mount -t tmpfs -o mode=755 vardel-bench "$folder" || fail "cannot mount a tmpfs over $folder"
done
cp res/linux/dbus/org.vardel.drives.policy /usr/share/polkit-1/actions/
# No logind here, so polkit sees no session: the actions' defaults would refuse nobody everything.
cat >/etc/polkit-1/rules.d/50-vardel-bench.rules <<'RULE'
polkit.addRule(function (action, subject) {
    if (subject.user == "nobody" && action.id == "org.vardel.drives.read") {
        return polkit.Result.YES;
    }
    return polkit.Result.NOT_HANDLED;
});
RULE
chmod 644 /usr/share/polkit-1/actions/* /etc/polkit-1/rules.d/*

# A system bus's shape: only replies and what a policy allows pass; polkit's and the service's
# own policies as installed (the service runs as root here, not as its own account).
# A further name given is one root may own there too: polkit's, for the stand-in that answers in
# polkitd's place inside the service's process.
start_bus() {  # start_bus NAME [NAME_ROOT_OWNS]: a bus at $work/NAME.socket
    local name=$1 also_owned=""
    [ $# -lt 2 ] || also_owned="<allow own=\"$2\"/>"
    cat >"$work/$name.conf" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/$name.socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
  <policy user="root">
    <allow own="org.vardel.Drives1"/>
    $also_owned
    <allow send_destination="*"/>
  </policy>
  <include>$PWD/res/linux/dbus/org.vardel.Drives1.conf</include>
  <include ignore_missing="yes">/usr/share/dbus-1/system.d/org.freedesktop.PolicyKit1.conf</include>
</busconfig>
CONFIG
    dbus-daemon --nofork --config-file="$work/$name.conf" 2>"$work/$name.bus.log" &
    pids+=($!)
    wait_for "the bus $name did not start" test -S "$work/$name.socket"
}

wait_for() {  # wait_for WHY COMMAND...: up to 10 s
    local why=$1
    shift
    for _ in $(seq 200); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    fail "$why"
}

owned() {  # owned SOCKET NAME
    busctl --address="unix:path=$1" --timeout=2 status "$2" >/dev/null 2>&1
}

start_service() {  # start_service BUS POLICY
    mkdir -p "$work/$1.journal"
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/$1.socket" \
        "$service" "$work/$1.journal" "$2" 3600 "$scenario" 2>"$work/$1.service.log" &
    pids+=($!)
    wait_for "the service on bus $1 did not take its name ($(cat "$work/$1.service.log"))" \
        owned "$work/$1.socket" org.vardel.Drives1
}

start_bus polkit
pid_of[bus]=${pids[-1]}
# Started as root, as its unit starts it; it takes the user polkitd itself.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/polkit.socket" "$polkitd" --no-debug \
    >"$work/polkitd.log" 2>&1 &
pids+=($!)
pid_of[polkitd]=$!
wait_for "polkitd did not take its name on the bus ($(cat "$work/polkitd.log"))" \
    owned "$work/polkit.socket" org.freedesktop.PolicyKit1
start_service polkit polkit
pid_of[service]=${pids[-1]}
start_bus standin org.freedesktop.PolicyKit1
pid_of[standin_bus]=${pids[-1]}
start_service standin grant-change
pid_of[standin_service]=${pids[-1]}

# The caller: nobody, with a journal folder of its own; the same start for all three ways.
mkdir -p "$work/home"
chown nobody: "$work/home"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups /usr/bin/env -i HOME="$work/home"
           VARDEL_JOURNAL="$work/home/state" LANG=C.UTF-8)
direct=("${as_nobody[@]}" "$vardelctl" "--emulate=$scenario")
through_polkit=("${as_nobody[@]}" "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/polkit.socket"
                "$vardelctl" --service)
through_standin=("${as_nobody[@]}" "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/standin.socket"
                 "$vardelctl" --service)
command_line() { printf '%q ' "$@"; }  # one line for hyperfine, whatever the paths hold

"${direct[@]}" status >"$work/direct.out" 2>&1 ||
    fail "direct: vardelctl status failed: $(cat "$work/direct.out")"
"${through_polkit[@]}" status >"$work/through_polkit.out" 2>&1 ||
    fail "through polkit: vardelctl status failed: $(cat "$work/through_polkit.out")"
"${through_standin[@]}" status >"$work/through_standin.out" 2>&1 ||
    fail "through the stand-in: vardelctl status failed: $(cat "$work/through_standin.out")"
cmp -s "$work/direct.out" "$work/through_polkit.out" ||
    fail "through polkit's service status differs: $(diff "$work/direct.out" "$work/through_polkit.out")"
cmp -s "$work/direct.out" "$work/through_standin.out" ||
    fail "through the stand-in's service status differs"
# polkitd is really asked: the rule grants nobody only the read.
if "${through_polkit[@]}" set lun0 fixed >"$work/set.out" 2>&1; then
    fail "polkitd granted nobody a change: $(cat "$work/set.out")"
fi

if [ -n "$profile" ]; then
    tracers=()
    for traced in bus polkitd service; do
        strace -f -tt -T -p "${pid_of[$traced]}" -o "$results/strace.$traced" 2>/dev/null &
        tracers+=($!)
    done
    sleep 1
    strace -f -tt -T -o "$results/strace.caller" "${through_polkit[@]}" status >/dev/null
    sleep 0.5
    kill -INT "${tracers[@]}"
    wait "${tracers[@]}" || true
    echo "strace logs in $results/strace.{caller,bus,polkitd,service}"
    exit 0
fi

# Where a call's time goes, natively: the CPU time each process on the service's path spends, read
# from /proc before and after the timed runs (threads that ended included), per call.
cpu_ticks() {  # cpu_ticks PID: user and system time in clock ticks
    local stat
    stat=$(cat "/proc/$1/stat")
    # shellcheck disable=SC2086  # the fields after the command's name, split
    set -- ${stat##*) }
    echo $((${12} + ${13}))
}
processes=(bus polkitd service standin_bus standin_service)
declare -A ticks_before
for process in "${processes[@]}"; do
    ticks_before[$process]=$(cpu_ticks "${pid_of[$process]}")
done

hyperfine -N --warmup "$warmup" --runs "$runs" --export-json "$results/service-host.json" \
    -n direct "$(command_line "${direct[@]}" status)" \
    -n polkit "$(command_line "${through_polkit[@]}" status)" \
    -n standin "$(command_line "${through_standin[@]}" status)" \
    >"$results/service-host.log" 2>&1 || fail "hyperfine failed ($results/service-host.log)"

cpu_fields=
for process in "${processes[@]}"; do
    ticks=$(($(cpu_ticks "${pid_of[$process]}") - ticks_before[$process]))
    cpu_fields+=" ${process}_cpu_us=$((ticks * 1000000 / $(getconf CLK_TCK) / (runs + warmup)))"
done

python3 - "$results/service-host.json" "$cpu_fields" <<'PYTHON'
import json, sys
by_name = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
fields = []
for name in ("direct", "polkit", "standin"):
    fields.append("%s_us=%d %s_sd_us=%d" % (name, round(by_name[name]["mean"] * 1e6), name,
                                             round(by_name[name]["stddev"] * 1e6)))
print("BENCH runs=%d %s%s" % (len(by_name["direct"]["times"]), " ".join(fields), sys.argv[2]))
PYTHON
