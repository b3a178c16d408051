# Vardel.exe, the dialog, under Wine on a virtual display, worked by the end-to-end test program
# (tests/e2e) through Wine's own SCSI pass-through, the kernel and usb-storage to the USB drive
# (run with --transport usb --wine-image, and both builds' Vardel.exe and vardel_e2e_test.exe
# added). The test program checks what the window shows; this job checks, between its cases, what
# the drive received. Each build has a drive of its own, so that each starts from the same types.

. /vardel/wine_lib.sh

writes_since_mark() {
    log_since_mark | grep ' 06 06 ' || true
}

# window_case ARCH CASE: one case of the test program, which must run and pass
window_case() {
    begin "$1: $2"
    run_windows "$1" vardel_e2e_test.exe "--real=/vardel/files/$1/Vardel.exe" \
        "--gtest_filter=$2"
    expect_status 0
    expect_out_has "[  PASSED  ] 1 test."
}

# expect_writes FILE: the vendor writes since the mark are FILE's lines
expect_writes() {
    writes_since_mark > /tmp/writes.actual
    if ! cmp -s "$1" /tmp/writes.actual; then
        fail "the drive received other writes than expected (- expected, + received):"
        diff -u "$1" /tmp/writes.actual | tail -n +3
    fi
}

wine_start --display

add_drive refusing --refuse-vendor
clear_attention refusing
for arch in win64 win32; do
    add_drive $arch
    clear_attention $arch
    map_letters $arch $arch

    window_case $arch UsbDriveWindowTest.StatusShowsBothTypes
    : > /tmp/expected
    expect_writes /tmp/expected

    window_case $arch UsbDriveWindowTest.Lun0FixedButtonSwitchesLun0
    write_block $arch 1 "304:00>a1" > /tmp/expected
    expect_writes /tmp/expected

    window_case $arch UsbDriveWindowTest.EnterWritesWhatIsShown
    write_block $arch 1 > /tmp/expected
    expect_writes /tmp/expected

    # The same program and letters before a drive that refuses the vendor commands: every
    # command says "No drive found" and nothing is written.
    map_letters $arch refusing
    window_case $arch RealWindowTest.EveryCommandSaysNoDriveFoundWithoutTheDrive
    : > /tmp/expected
    expect_writes /tmp/expected
    log_since_mark | grep -v -e ' 12 00 ' -e ' len=528 CHECK 5/20$' > /tmp/other || true
    [ ! -s /tmp/other ] || fail "the refusing drive received more than INQUIRY and refused" \
        "reads: $(tr '\n' ';' < /tmp/other)"
done

finish
