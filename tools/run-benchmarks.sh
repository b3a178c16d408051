#!/usr/bin/env bash
# Runs every benchmark and prints one table. Nothing here is a test: no figure fails the script.
#
#   tools/run-benchmarks.sh [--no-kernel] [--no-service-host] [--no-windows] [--guest-program FILE]
#                           [--transport T]
#
# 1. build/bench/bench/vardel_bench (Google Benchmark, Release): device calls per command against
#    the sequence each command requires; the tool's CPU time per command on 26 letters.
# 2. hyperfine: `vardelctl --emulate status` as a whole process, against `true`; callgrind: the
#    instructions that process executes, a figure that does not depend on the machine's load.
# 3. The drive service on this machine (tools/bench-service-host.sh, as root; --no-service-host
#    skips it): hyperfine on `vardelctl --service status` as nobody through the service on a
#    private bus that asks Debian's polkitd, and through the same service with polkit's stand-in,
#    against `vardelctl --emulate=FILE status` on the same emulated drive. A failure there (polkitd
#    or dbus-daemon missing, the setup broken) fails the script.
# 4. A real kernel: one QEMU guest boot (tests/kernel/run-in-guest.sh, job
#    tests/kernel/jobs/bench-status.sh): `vardelctl status` against the SG_IO floor, sg_floor
#    sending the same 8 commands and asking the same 2 SCSI addresses, both started once per
#    round; sg_floor --repeat (one process for all rounds) and three start-up figures for
#    reference. --transport T attaches the drive
#    over usb (usb-storage, as a real drive is attached; the default) or tcm (the loopback SCSI
#    target); --no-kernel skips the boot; --guest-program FILE times another build of vardelctl.
#    A second boot (tests/kernel/run-service-in-guest.sh, job tests/kernel/jobs/bench-service.sh):
#    `vardelctl status` through the drive service on the guest's real system bus, the service
#    running, against `vardelctl --direct status` on the same drive; the first call, which starts
#    the service, as its own figure; the idle service's resident memory.
# 5. The size of Vardel.exe from build/win32 and build/win64, built with those presets (the
#    Vardel target only) when missing; --no-windows reports a missing one as "not built".
#
# Raw results stay in build/bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."

kernel=1
service_host=1
windows=1
guest_program=build/bench/vardelctl
transport=usb
while [ $# -gt 0 ]; do
    case "$1" in
        --no-kernel) kernel=0; shift ;;
        --no-service-host) service_host=0; shift ;;
        --no-windows) windows=0; shift ;;
        --guest-program) guest_program="$2"; shift 2 ;;
        --transport) transport="$2"; shift 2 ;;
        *) echo "usage: $0 [--no-kernel] [--no-service-host] [--no-windows] [--guest-program FILE]" \
                "[--transport usb|tcm]" >&2
           exit 64 ;;
    esac
done

results=build/bench/results
echo "=== building the bench preset (Release)"
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2
mkdir -p "$results"
rm -f "$results"/*

echo "=== vardel_bench"
build/bench/bench/vardel_bench --benchmark_format=json --benchmark_out="$results/bench.json" \
    --benchmark_out_format=json --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true >/dev/null

echo "=== hyperfine"
hyperfine -N --warmup 20 --min-runs 300 --export-json "$results/hyperfine.json" \
    "build/bench/vardelctl --emulate status" "true" >"$results/hyperfine.log"
valgrind --tool=callgrind --callgrind-out-file="$results/callgrind.out" \
    build/bench/vardelctl --emulate status >/dev/null 2>"$results/callgrind.log"
valgrind --tool=callgrind --callgrind-out-file="$results/callgrind-version.out" \
    build/bench/vardelctl --version >/dev/null 2>"$results/callgrind-version.log"
valgrind --tool=callgrind --callgrind-out-file="$results/callgrind-help.out" \
    build/bench/vardelctl --help >/dev/null 2>"$results/callgrind-help.log"
# A usage error (exit 64) is the usual first run of a mistyped line.
valgrind --tool=callgrind --callgrind-out-file="$results/callgrind-usage.out" \
    build/bench/vardelctl set lun0 >/dev/null 2>"$results/callgrind-usage.log" || true

if [ "$service_host" -eq 1 ]; then
    echo "=== the drive service on this machine (a private bus, polkitd)"
    tools/bench-service-host.sh --build build/bench --results "$results" \
        >"$results/service-host.bench" || {
        echo "tools/bench-service-host.sh failed" >&2
        exit 1
    }
fi

if [ "$kernel" -eq 1 ]; then
    echo "=== a real kernel (one guest boot, the drive attached over $transport)"
    status=0
    echo "$transport" >"$results/kernel.transport"
    tests/kernel/run-in-guest.sh --transport "$transport" --tools build/bench/tools \
        --program "$guest_program" --job tests/kernel/jobs/bench-status.sh \
        >"$results/kernel.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 20 "$results/kernel.log" >&2
        echo "(the guest job ended with status $status)" >"$results/kernel.failed"
    fi
    echo "=== the drive service in a real kernel (one guest boot, the drive attached over usb)"
    status=0
    tests/kernel/run-service-in-guest.sh --build build/bench --tools build/bench/tools \
        --program "$guest_program" --job tests/kernel/jobs/bench-service.sh --timeout 400 \
        >"$results/service.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 20 "$results/service.log" >&2
        echo "(the guest job ended with status $status)" >"$results/service.failed"
    fi
fi

for architecture in win32 win64; do
    program=build/$architecture/Vardel.exe
    if [ ! -f "$program" ] && [ "$windows" -eq 1 ]; then
        echo "=== building $program"
        cmake --preset "$architecture" >/dev/null &&
            cmake --build --preset "$architecture" -j 2 --target Vardel ||
            echo "$program could not be built" >&2
    fi
    if [ -f "$program" ]; then stat -c %s "$program" >"$results/$architecture.size"; fi
done

python3 - "$results" <<'PYTHON'
import json, os, re, sys

results = sys.argv[1]
rows = []

def row(measure, value, goal, verdict):
    rows.append((measure, value, goal, verdict))

bench = json.load(open(os.path.join(results, "bench.json")))
by_name = {}
for entry in bench["benchmarks"]:
    by_name.setdefault(entry["run_name"], {})[entry.get("aggregate_name", "")] = entry
for name, command in (("BM_DeviceCalls_Status", "status"),
                      ("BM_DeviceCalls_SetLun0Fixed", "set lun0 fixed"),
                      ("BM_DeviceCalls_Write", "write")):
    entry = next(iter(v for k, v in by_name.items() if k.startswith(name)))["mean"]
    ratio = entry["ratio"]
    same = "same sequence" if entry["same_sequence"] == 1 else "SEQUENCE DIFFERS"
    row("device calls, " + command, "%d made / %d required = %.2f (%s)" % (
        entry["made"], entry["required"], ratio, same), "exactly 1.00",
        "met" if ratio == 1 and entry["same_sequence"] == 1 else "MISSED")
for platform, note in (("Instant", "drive answers at once"),
                       ("Emulated", "with the driver checks and call log")):
    for command in ("status", "set", "write"):
        entry = by_name["BM_CommandTime_%s/%s" % (platform, command)]
        mean = entry["mean"]["cpu_time"] / 1000
        spread = entry["stddev"]["cpu_time"] / 1000
        goal = "well under 50 us" if platform == "Instant" else "(reference)"
        verdict = ("met" if mean < 50 else "MISSED") if platform == "Instant" else ""
        row("CPU per command, %s (26 letters, %s)" % (command, note),
            "%.1f us +- %.1f" % (mean, spread), goal, verdict)

hyperfine = json.load(open(os.path.join(results, "hyperfine.json")))["results"]
tool = next(r for r in hyperfine if "vardelctl" in r["command"])
true = next(r for r in hyperfine if r["command"] == "true")
row("process: vardelctl --emulate status", "%.2f ms +- %.2f (true: %.2f ms)" % (
    tool["mean"] * 1000, tool["stddev"] * 1000, true["mean"] * 1000), "under 10 ms",
    "met" if tool["mean"] < 0.010 else "MISSED")

for log, what in (("callgrind.log", "--emulate status"), ("callgrind-version.log", "--version"),
                  ("callgrind-help.log", "--help"), ("callgrind-usage.log", "set lun0 (usage)")):
    collected = re.search(r"Collected : (\d+)", open(os.path.join(results, log)).read())
    row("process: vardelctl %s, instructions (callgrind)" % what,
        "{:,}".format(int(collected.group(1))) if collected else "not measured", "", "")

host_file = os.path.join(results, "service-host.bench")
if os.path.exists(host_file):
    line = next((l for l in open(host_file) if l.startswith("BENCH ")), "")
    values = dict(re.findall(r"(\w+)=(\d+)", line))
    ms = lambda key: int(values[key]) / 1000.0
    direct, polkit, standin = ms("direct_us"), ms("polkit_us"), ms("standin_us")
    row("this machine: vardelctl --service status as nobody, the service asking polkitd / "
        "--emulate=FILE status", "%.2f ms +- %.2f / %.2f ms +- %.2f (%s runs each): %+.2f ms a call"
        % (polkit, ms("polkit_sd_us"), direct, ms("direct_sd_us"), values["runs"],
           polkit - direct), "at most 2 ms more a call",
        "met" if polkit - direct <= 2 else "MISSED")
    row("this machine: the same with polkit's stand-in (no polkitd)",
        "%.2f ms +- %.2f: %+.2f ms a call (polkitd's share: %+.2f ms)"
        % (standin, ms("standin_sd_us"), standin - direct, polkit - standin), "(reference)", "")
    row("this machine: CPU per call through polkitd: the bus / polkitd / the service "
        "(the stand-in's bus / service)", "%.2f / %.2f / %.2f ms (%.2f / %.2f ms)"
        % (ms("bus_cpu_us"), ms("polkitd_cpu_us"), ms("service_cpu_us"),
           ms("standin_bus_cpu_us"), ms("standin_service_cpu_us")), "(reference)", "")
else:
    row("this machine: vardelctl --service status / --emulate=FILE status",
        "not measured (--no-service-host)", "at most 2 ms more a call", "")

kernel_log = os.path.join(results, "kernel.log")
transport_file = os.path.join(results, "kernel.transport")
transport = open(transport_file).read().strip() if os.path.exists(transport_file) else "no boot"
kernel_row = lambda measure, *rest: row("real kernel (%s): %s" % (transport, measure), *rest)
if os.path.exists(os.path.join(results, "kernel.failed")):
    kernel_row("vardelctl status / floor", "not measured: the guest job failed "
               "(build/bench/results/kernel.log)", "at most 1.2x", "")
elif os.path.exists(kernel_log):
    line = next((l for l in open(kernel_log) if l.startswith("BENCH ")), "")
    values = dict(re.findall(r"(\w+)=(\d+)", line))
    runs = int(values["runs"])
    per_run = lambda key: int(values[key]) * 10.0 / runs  # centiseconds in total -> ms per run
    tool_ms, floor_ms, repeat_ms = per_run("tool_cs"), per_run("floor_cs"), per_run("floor_repeat_cs")
    kernel_row("vardelctl status, one process per run", "%.2f ms (%d runs)" % (tool_ms, runs),
               "", "")
    kernel_row("floor, sg_floor sending status's 8 commands and 2 address questions, one process per round",
               "%.2f ms" % floor_ms, "", "")
    kernel_row("status / floor", "%.2fx" % (tool_ms / floor_ms if floor_ms else float("inf")),
               "at most 1.2x", "met" if floor_ms and tool_ms / floor_ms <= 1.2 else "MISSED")
    kernel_row("sg_floor --repeat, the same sequence, per round (one process)",
               "%.2f ms" % repeat_ms, "(reference)", "")
    kernel_row("status / in-process floor",
               "%.2fx" % (tool_ms / repeat_ms if repeat_ms else float("inf")), "(reference)", "")
    row("guest: vardelctl --version / --emulate status / a static program that does nothing",
        "%.2f / %.2f / %.2f ms" % (per_run("version_cs"), per_run("emulated_cs"),
                                   per_run("empty_cs")), "(reference)", "")
else:
    row("real kernel: vardelctl status / floor", "not measured (--no-kernel)", "at most 1.2x", "")

service_log = os.path.join(results, "service.log")
if os.path.exists(os.path.join(results, "service.failed")):
    row("real kernel (usb): status through the service / --direct", "not measured: the guest job "
        "failed (build/bench/results/service.log)", "at most 2 ms more a call", "")
elif os.path.exists(service_log):
    line = next((l for l in open(service_log) if l.startswith("BENCH ")), "")
    values = dict(re.findall(r"(\w+)=(\d+)", line))
    runs = int(values["runs"])
    service_ms = int(values["service_cs"]) * 10.0 / runs
    direct_ms = int(values["direct_cs"]) * 10.0 / runs
    row("real kernel (usb): vardelctl status through the running service / --direct",
        "%.1f / %.1f ms (%d runs each): %+.1f ms a call" % (service_ms, direct_ms, runs,
                                                           service_ms - direct_ms),
        "at most 2 ms more a call", "met" if service_ms - direct_ms <= 2 else "MISSED")
    row("real kernel (usb): the first call, the bus starting the service",
        "%.1f ms (mean of %s)" % (int(values["activation_cs"]) * 10.0 / int(values["activations"]),
                                  values["activations"]), "(its own figure)", "")
    row("real kernel (usb): the idle service's resident memory (VmRSS)",
        "{:,} kB".format(int(values["rss_kb"])), "(reference)", "")
else:
    row("real kernel: status through the service / --direct", "not measured (--no-kernel)",
        "at most 2 ms more a call", "")

for architecture in ("win32", "win64"):
    path = os.path.join(results, architecture + ".size")
    if os.path.exists(path):
        size = int(open(path).read())
        row("Vardel.exe size, " + architecture, "{:,} bytes".format(size), "under 300 KB",
            "met" if size < 300 * 1024 else "MISSED")
    else:
        row("Vardel.exe size, " + architecture, "not built", "under 300 KB", "")

widths = [max(len(r[i]) for r in rows + [("measure", "value", "goal", "")]) for i in range(4)]
line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
print(line(("measure", "value", "goal", "")))
print(line(tuple("-" * w for w in widths)))
for r in rows:
    print(line(r))
PYTHON
