#!/usr/bin/env bash
# Builds the fuzz preset (clang 14, libFuzzer, AddressSanitizer, UBSan) and runs each fuzz target
# for a bounded time.
#
#   tools/run-fuzz.sh [SECONDS] [TARGET...]     SECONDS per target, default 60; default all targets
#
# A target starts from its seeds in fuzz/corpus/<target>/ and keeps the inputs it finds in
# build/fuzz/corpus/<target>/, so a later run goes on from there; the seeds in the repository stay
# as they are. A crash, a leak, a time-out or a broken invariant stops that target and keeps the
# input in build/fuzz/crashes/<target>/; the other targets still run, and the script ends with
# status 1, naming each input. Reproduce one with: build/fuzz/fuzz/<target>_fuzzer <input>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(device_key discovery pass_through sg_io scenario backup_file journal)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

failed=()
summary=()
for target in "${targets[@]}"; do
    program=build/fuzz/fuzz/${target}_fuzzer
    corpus=build/fuzz/corpus/$target
    crashes=build/fuzz/crashes/$target
    log=build/fuzz/$target.log
    [ -x "$program" ] || { echo "run-fuzz: no fuzz target $target" >&2; exit 64; }
    mkdir -p "$corpus" "$crashes"
    echo "=== $target: $seconds s"
    status=0
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
    if [ "$status" -ne 0 ]; then
        # The report, and where the input that caused it was kept.
        grep -v '^#[0-9]' "$log" | tail -n 40 >&2
        kept=$(sed -n "s/.*Test unit written to \(.*\)$/\1/p" "$log" | tail -n1)
        echo "run-fuzz: $target FAILED (status $status); input kept in ${kept:-$crashes}" >&2
        failed+=("$target: ${kept:-$crashes}")
        summary+=("$(printf '%-14s FAILED  %10s runs  cov %s' "$target" "${runs:-?}" "${coverage:-?}")")
    else
        summary+=("$(printf '%-14s ok      %10s runs  cov %s' "$target" "${runs:-?}" "${coverage:-?}")")
    fi
done

echo "Fuzzing, $seconds s per target:"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "run-fuzz: failures, inputs kept:" >&2
    printf '  %s\n' "${failed[@]}" >&2
    exit 1
fi
