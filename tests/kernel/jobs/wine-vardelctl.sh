# Both Windows builds of vardelctl.exe under Wine, through Wine's own SCSI pass-through, the
# kernel and usb-storage to the USB drive (run with --transport usb --wine-image, and the programs
# added as win64/vardelctl.exe and win32/vardelctl.exe). E: is LUN 0 and F: LUN 1. The drive
# receives what the Linux tool sends: discovery asks E: and F: in letter order, then the command
# reads and writes on F:, and every change is read back.

. /vardel/wine_lib.sh

# set_and_check ARCH DRIVE ROW TYPE CHANGE LUN0-ROW LUN1-ROW: the change as the drive saw it, then
# status. Every button but "LUN 1 removable" reads the configuration block first.
set_and_check() {
    begin "$1, $2: set $3 $4"
    run_windows "$1" vardelctl.exe set "$3" "$4"
    expect_status 0
    {
        discovery "$2"
        if [ "$3 $4" = "lun1 removable" ]; then
            read_id "$2" 1; read_info "$2" 1
        else
            read_info "$2" 1; read_id "$2" 1
        fi
        write_block "$2" 1 "$5"
        read_info "$2" 1
    } > /tmp/expected
    expect_commands /tmp/expected
    run_windows "$1" vardelctl.exe status
    expect_rows "$6" "$7"
}

wine_start

add_drive plain
clear_attention plain
add_drive swapped --swapped
clear_attention swapped

for arch in win64 win32; do
    map_letters $arch plain

    begin "$arch, plain: status"
    run_windows $arch vardelctl.exe status
    expect_rows "Removable" "Fixed Disk"
    { discovery plain; read_id plain 1; read_info plain 1; } > /tmp/expected
    expect_commands /tmp/expected

    begin "$arch, plain: list"
    run_windows $arch vardelctl.exe --json list
    expect_status 0
    compact=$(printf '%s' "$RUN_OUT" | tr -d ' \n')
    for volume in '"letter":"E","lun":0' '"letter":"F","lun":1' '"target":"F"'; do
        case "$compact" in
            *"$volume"*) ;;
            *) fail "list lacks $volume: $compact" ;;
        esac
    done

    set_and_check $arch plain lun0 fixed "304:00>a1" "Fixed Disk" "Fixed Disk"
    set_and_check $arch plain lun1 removable "305:a1>00" "Fixed Disk" "Removable"
    set_and_check $arch plain lun0 removable "304:a1>00" "Removable" "Removable"
    set_and_check $arch plain lun1 fixed "305:00>a1" "Removable" "Fixed Disk"

    # The swapped layout shows row Lun0 from byte 305 and row Lun1 from byte 304.
    map_letters $arch swapped
    begin "$arch, swapped: status"
    run_windows $arch vardelctl.exe status
    expect_rows "Fixed Disk" "Removable"
    set_and_check $arch swapped lun0 removable "305:a1>00" "Removable" "Removable"
    set_and_check $arch swapped lun0 fixed "305:00>a1" "Fixed Disk" "Removable"
done
remove_drive plain
remove_drive swapped

add_drive refusing --refuse-vendor
clear_attention refusing
add_drive short --identity-bytes 300
clear_attention short
# nothing_found ARCH DRIVE RESULT TITLE: set finds no drive, each identity read ending with RESULT
nothing_found() {
    map_letters "$1" "$2"
    begin "$1: $4"
    run_windows "$1" vardelctl.exe set lun0 fixed
    expect_status 2
    expect_said "No drive found"
    discovery_without_drive "$2" "$3" > /tmp/expected
    expect_commands /tmp/expected
}

for arch in win64 win32; do
    nothing_found $arch refusing "CHECK 5/20" "a drive that refuses the vendor commands"
    # Wine passes the kernel's residue on as a shorter DataTransferLength; a block that did not
    # arrive whole is no read, so nothing is found and nothing written.
    nothing_found $arch short "GOOD returned=300" \
        "an identity block that comes back short with status GOOD"
done

# The advice in docs/wine.md for people running the program under Wine: a user (no
# CAP_SYS_RAWIO) whose letters name the drive's disks gets only INQUIRY through the kernel; with
# the sg nodes and rights on them (docs/wine.md: for a session, by an administrator), the same
# user changes the drive.
add_drive user
clear_attention user
for node in $user_disks $user_sg; do chown 1000:1000 "$node" && chmod 0600 "$node"; done
# Wine runs a prefix only for its owner. Debian's Wine names its server's folder in /tmp after the
# prefix, not the user, so root's servers and their folders go first.
for arch in win64 win32; do in_wine $arch /usr/lib/wine/wineserver64 -k; done
rm -rf "$WINE_ROOT"/tmp/wine-*
chown -R 1000:1000 "$WINE_ROOT/wine/win64" || die "cannot give the prefix to the user"
WINE_USER=1000

begin "win64 as a user, letters on the disks: the kernel refuses the vendor commands"
map_letters win64 user disks
run_windows win64 vardelctl.exe set lun0 fixed
expect_status 2
expect_said "No drive found"
{ inquiry user 0; inquiry user 1; } > /tmp/expected
expect_commands /tmp/expected

begin "win64 as a user, letters on the sg nodes: set lun0 fixed"
map_letters win64 user
run_windows win64 vardelctl.exe set lun0 fixed
expect_status 0
{
    discovery user
    read_info user 1; read_id user 1; write_block user 1 "304:00>a1"; read_info user 1
} > /tmp/expected
expect_commands /tmp/expected
WINE_USER=""

finish
