# Functions for the guest's jobs: drives of ours on the transport the guest was built for
# (run-in-guest.sh --transport), and the checks a scenario makes. Sourced by the guest's init
# before the job runs.
#
#   add_drive NAME [DRIVE OPTIONS...]     one drive of two LUNs (options: see
#                                         tools/scsi_drive/drive_options.h); sets NAME_disks and
#                                         NAME_sg to the drive's /dev/sdX and /dev/sgN, LUN 0 first,
#                                         found by LUN whatever their names
#                                         tcm: two `user` backstores, one TCMU handler serving both,
#                                         one loopback target (add_tcm_drive)
#                                         usb: a gadget played by the USB drive program on a free
#                                         dummy_hcd UDC (add_usb_drive, in usb_lib.sh)
#   remove_drive NAME                     the drive goes away, and its disks with it
#   clear_attention NAME                  TEST UNIT READY on the drive's sg nodes
#   reverse_disk_names NAME               rebinds the drive's disks so that LUN 1 takes the earlier
#                                         name and LUN 0 the later one (add_drive gives them in
#                                         LUN order, so that the tool's commands come in one order)
#   run ARGS...                           runs /vardel/program (run_as_tester: as user tester);
#                                         sets RUN_STATUS, RUN_OUT, RUN_ERR and marks the handler
#                                         log
#   log_since_mark                        the drive log's lines since the mark, without the
#                                         commands the kernel sends on its own
#   inquiry, read_id, read_info,          the log lines of the tool's commands as the drive
#   write_block DRIVE LUN ...             receives them on this transport
#   discovery DRIVE,                      those of a discovery that finds the drive, and of one
#   discovery_without_drive DRIVE RESULT  whose identity reads end with RESULT
#   begin TEXT, expect_* ..., finish      checks that name the scenario and what differed

VARDEL_TRANSPORT=$(cat /vardel/transport)
VARDEL_COMMAND_LOG=/tmp/commands.log
CONFIGFS=/sys/kernel/config/target
HANDLER=/vardel/vardel_tcmu_handler
: > "$VARDEL_COMMAND_LOG"
drive_count=0
failures=0
scenario="setup"

# A drive that cannot be set up ends the job: nothing after it would mean anything.
die() {
    echo "FAIL [$scenario] setting up the drives: $*"
    exit 1
}

wait_for() {  # wait_for PATH [SECONDS]: up to 10 s unless told
    tries=0
    while [ ! -e "$1" ]; do
        tries=$((tries + 1))
        [ $tries -le $((${2:-10} * 10)) ] || die "$1 did not appear"
        sleep 0.1
    done
}

# disks_by_lun NAME: NAME_disks and NAME_sg from NAME_address (host:channel:target)
disks_by_lun() {
    eval "address=\$${1}_address"
    disks=""
    sgs=""
    for lun in 0 1; do
        device=/sys/class/scsi_device/$address:$lun/device
        wait_for "$device/block" 30
        wait_for "$device/scsi_generic" 30
        disks="$disks /dev/$(ls "$device/block")"
        sgs="$sgs /dev/$(ls "$device/scsi_generic")"
    done
    eval "${1}_disks=\"${disks# }\""
    eval "${1}_sg=\"${sgs# }\""
}

uio_of() {  # uio_of BACKSTORE-NAME: the uio device target_core_user made for it
    for entry in /sys/class/uio/uio*; do
        case "$(cat "$entry/name")" in
            tcm-user/1/$1/*) basename "$entry"; return 0 ;;
        esac
    done
    return 1
}

add_tcm_drive() {
    name="$1"
    shift
    drive_count=$((drive_count + 1))
    core="$CONFIGFS/core/user_1"
    for lun in 0 1; do
        mkdir -p "$core/${name}_lun$lun" &&
            echo "dev_config=vardel/$name/$lun,dev_size=1048576" > "$core/${name}_lun$lun/control" &&
            echo 1 > "$core/${name}_lun$lun/enable" || die "backstore ${name}_lun$lun"
    done
    uio0=$(uio_of "${name}_lun0") && uio1=$(uio_of "${name}_lun1") ||
        die "no uio device for the backstores of $name"
    # The handler must run before a LUN is linked: the kernel scans the LUN at once and waits
    # for the answers.
    "$HANDLER" --uio "$uio0" --uio "$uio1" --name "$name" --log "$VARDEL_COMMAND_LOG" "$@" &
    handler=$!
    sleep 0.2
    kill -0 $handler 2>/dev/null || die "the handler of $name did not start"

    # The nexus comes first: a LUN added after it is scanned at once, while one added before it
    # fails the scan with "I_T Nexus does not exist".
    wwn=$(printf 'naa.50014050000000%02x' $drive_count)
    tpg="$CONFIGFS/loopback/$wwn/tpgt_1"
    mkdir -p "$tpg" && printf 'naa.5001405f000000%02x\n' $drive_count > "$tpg/nexus" ||
        die "loopback target $wwn"
    eval "${name}_address=\"$(cat "$tpg/address")\""  # host:channel:target of the target
    # One LUN at a time, so that the disk names follow the LUNs.
    for lun in 0 1; do
        mkdir "$tpg/lun/lun_$lun" &&
            ln -s "$core/${name}_lun$lun" "$tpg/lun/lun_$lun/${name}_lun$lun" ||
            die "LUN $lun of $name"
        eval "wait_for /sys/class/scsi_device/\$${name}_address:$lun/device/block"
    done
    disks_by_lun "$name"
    kill -0 $handler 2>/dev/null || die "the handler of $name has ended"
    eval "${name}_tpg=\"$tpg\""
    eval "echo \"lib: $name is \$${name}_disks (\$${name}_sg)\""
}

wait_for_lun_gone() {  # wait_for_lun_gone NAME ADDRESS LUN: up to 10 s
    tries=0
    while [ -e "/sys/class/scsi_device/$2:$3" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || die "$1's LUN $3 did not go away"
        sleep 0.1
    done
}

remove_tcm_drive() {
    eval "tpg=\$${1}_tpg address=\$${1}_address"
    for lun in 1 0; do
        rm "$tpg/lun/lun_$lun/${1}_lun$lun"
        rmdir "$tpg/lun/lun_$lun"
        wait_for_lun_gone "$1" "$address" "$lun"
    done
}

if [ "$VARDEL_TRANSPORT" = usb ]; then
    . /vardel/usb_lib.sh
    add_drive() { add_usb_drive "$@"; }
    remove_drive() { remove_usb_drive "$@"; }
else
    add_drive() { add_tcm_drive "$@"; }
    remove_drive() { remove_tcm_drive "$@"; }
fi

# The disk names follow the order in which sd probes the LUNs, which usually is LUN 0 first, but
# not always (over USB, LUN 1 took the earlier name for about one drive in ten). Unbinding both
# disks from sd and binding them again one by one gives the names in the order asked for.
bind_disks_in_order() {  # bind_disks_in_order NAME FIRST-LUN SECOND-LUN
    eval "address=\$${1}_address"
    for lun in 0 1; do
        echo "$address:$lun" > /sys/bus/scsi/drivers/sd/unbind || die "unbinding $1's LUN $lun"
    done
    for lun in $2 $3; do
        echo "$address:$lun" > /sys/bus/scsi/drivers/sd/bind || die "binding $1's LUN $lun"
        wait_for "/sys/class/scsi_device/$address:$lun/device/block"
    done
    disks_by_lun "$1"
}

reverse_disk_names() {
    bind_disks_in_order "$1" 1 0
    eval "echo \"lib: $1 is now \$${1}_disks (\$${1}_sg)\""
}

clear_attention() {
    eval "nodes=\$${1}_sg"
    /vardel/sg_tur $nodes > /tmp/sg_tur.out || { cat /tmp/sg_tur.out; die "$1 stays not ready"; }
}

run_program() {
    run_as="$1"
    shift
    echo "+ vardelctl $*${run_as:+ (as $run_as)}"
    log_mark
    if [ -n "$run_as" ]; then
        # "--" ends su's own options: busybox su would otherwise take the program's ("--direct").
        su -s /bin/sh -c '/vardel/program "$@"' -- "$run_as" vardelctl "$@" \
            > /tmp/run.out 2> /tmp/run.err
    else
        /vardel/program "$@" > /tmp/run.out 2> /tmp/run.err
    fi
    collect_run $?
}

# collect_run STATUS: RUN_STATUS, and RUN_OUT and RUN_ERR from /tmp/run.out and /tmp/run.err,
# which it also shows
collect_run() {
    RUN_STATUS=$1
    RUN_OUT=$(cat /tmp/run.out)
    RUN_ERR=$(cat /tmp/run.err)
    sed 's/^/  | /' /tmp/run.out /tmp/run.err
    echo "  exit status $RUN_STATUS"
}

run() { run_program "" "$@"; }
run_as_tester() { run_program tester "$@"; }

log_mark() {
    log_mark_line=$(wc -l < "$VARDEL_COMMAND_LOG")
}

# The kernel's own commands: TEST UNIT READY, READ(6/10/16), READ CAPACITY(10/16), MODE SENSE(6),
# PREVENT ALLOW MEDIUM REMOVAL, REPORT SUPPORTED OPERATION CODES, SYNCHRONIZE CACHE, and the
# REQUEST SENSE that usb-storage sends after a failed command. The tool sends none of them.
log_since_mark() {
    tail -n +$((log_mark_line + 1)) "$VARDEL_COMMAND_LOG" |
        grep -v -E '^[^ ]+ lun[0-9] (00|03|08|28|88|25|9e|1a|1e|a3|35) '
}

begin() {
    scenario="$1"
    echo "=== $scenario"
}

fail() {
    failures=$((failures + 1))
    echo "FAIL [$scenario] $*"
}

expect_status() {  # expect_status N
    [ "$RUN_STATUS" = "$1" ] ||
        fail "exit status $RUN_STATUS, expected $1 (stdout: $RUN_OUT | stderr: $RUN_ERR)"
}

expect_out() {  # expect_out TEXT: stdout is exactly TEXT
    [ "$RUN_OUT" = "$1" ] || fail "stdout \"$RUN_OUT\", expected \"$1\""
}

expect_err_has() {  # expect_err_has TEXT: stderr holds the line TEXT
    printf '%s\n' "$RUN_ERR" | grep -qxF "$1" ||
        fail "stderr \"$RUN_ERR\" lacks the line \"$1\""
}

expect_out_has() {  # expect_out_has TEXT: stdout holds the line TEXT
    printf '%s\n' "$RUN_OUT" | grep -qxF "$1" ||
        fail "stdout \"$RUN_OUT\" lacks the line \"$1\""
}

expect_said() {  # expect_said TEXT: stdout or stderr holds the line TEXT
    printf '%s\n%s\n' "$RUN_OUT" "$RUN_ERR" | grep -qxF "$1" ||
        fail "neither stdout \"$RUN_OUT\" nor stderr \"$RUN_ERR\" holds the line \"$1\""
}

expect_rows() {  # expect_rows LUN0-TEXT LUN1-TEXT: what status shows
    expect_status 0
    expect_out_has "Lun0: $1"
    expect_out_has "Lun1: $2"
}

# The commands as the drive logs them (read_id DRIVE LUN [RESULT], write_block DRIVE LUN
# [CHANGES as offset:old>new,...]). Behind the loopback target the target core keeps six bytes of
# each, and the kernel puts the LUN into bits 5..7 of CDB byte 1 for a SCSI-2 device (the drive's
# INQUIRY says version 2), so LUN 1's byte 1 reads 20, 25 and 26. Over USB the drive receives the
# twelve bytes the tool announces, with byte 8 of the vendor read, and no LUN in byte 1.
if [ "$VARDEL_TRANSPORT" = usb ]; then
    inquiry() { printf '%s lun%d 12 00 00 00 2c 00 00 00 00 00 00 00 len=44 GOOD\n' "$1" "$2"; }
    read_id() {
        printf '%s lun%d 06 05 00 00 00 00 00 00 80 00 00 00 len=528 %s\n' "$1" "$2" "${3:-GOOD}"
    }
    read_info() {
        printf '%s lun%d 06 05 49 4e 46 4f 00 00 80 00 00 00 len=528 GOOD\n' "$1" "$2"
    }
    write_block() {
        printf '%s lun%d 06 06 01 00 00 00 00 00 00 00 00 00 len=512 GOOD%s\n' "$1" "$2" \
            "${3:+ changed=$3}"
    }
else
    inquiry() { printf '%s lun%d 12 %02x 00 00 2c 00 len=44 GOOD\n' "$1" "$2" $(($2 << 5)); }
    read_id() {
        printf '%s lun%d 06 %02x 00 00 00 00 len=528 %s\n' "$1" "$2" $((5 | $2 << 5)) "${3:-GOOD}"
    }
    read_info() {
        printf '%s lun%d 06 %02x 49 4e 46 4f len=528 GOOD\n' "$1" "$2" $((5 | $2 << 5))
    }
    write_block() {
        printf '%s lun%d 06 %02x 01 00 00 00 len=512 GOOD%s\n' "$1" "$2" $((6 | $2 << 5)) \
            "${3:+ changed=$3}"
    }
fi

# A drive's commands in the tool's discovery, LUN 0's disk named first: INQUIRY on each disk, the
# identity block of each candidate, then of each again for the ordering by LUN.
discovery() {  # discovery DRIVE
    inquiry "$1" 0; inquiry "$1" 1
    read_id "$1" 0; read_id "$1" 1
    read_id "$1" 0; read_id "$1" 1
}

# A discovery that finds nothing on the drive: each identity read ends with RESULT.
discovery_without_drive() {  # discovery_without_drive DRIVE RESULT
    inquiry "$1" 0; inquiry "$1" 1
    read_id "$1" 0 "$2"; read_id "$1" 1 "$2"
}

expect_commands() {  # expect_commands FILE: the drives received FILE's lines since the run began
    log_since_mark > /tmp/commands.actual
    if ! cmp -s "$1" /tmp/commands.actual; then
        fail "the drive received other commands than expected (- expected, + received):"
        diff -u "$1" /tmp/commands.actual | tail -n +3
    fi
}

finish() {
    if [ "$failures" -eq 0 ]; then
        echo "all scenarios passed"
        exit 0
    fi
    echo "$failures check(s) failed"
    exit 1
}
