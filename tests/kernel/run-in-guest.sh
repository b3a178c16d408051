#!/usr/bin/env bash
# Runs a job inside a fresh Linux guest whose SCSI disks are drives of ours: Debian's own kernel
# in QEMU (software emulation), a small busybox initramfs with the kernel's modules for the chosen
# transport, the drive program, the sg helpers and the program under test. Two transports:
# - tcm: the TCMU handler (tools/tcmu) behind the kernel's loopback SCSI target (tcm_loop);
# - usb: the USB drive program (tools/usb) behind a FunctionFS gadget on dummy_hcd, which the
#   guest's usb-storage attaches as it attaches a real drive.
#
#   run-in-guest.sh [options] [-- PROGRAM-ARGUMENTS...]
#
#   --transport T    tcm (default), usb, or none (no drives)
#   --program FILE   the program under test; it is /vardel/program in the guest (static, or its
#                    shared libraries are copied along)
#   --tools DIR      where the drive programs, sg_tur, sg_floor and hold_lock are (default
#                    build/host/tools)
#   --job FILE       a job script to run (tests/kernel/jobs/*.sh); it may use the functions of
#                    tests/kernel/guest/lib.sh. Without --job the guest adds the drives given by
#                    --drive, clears their unit attentions, runs the program with the arguments
#                    after "--" and prints the handler's log.
#   --drive 'OPTS'   one drive of two LUNs, played by a drive program with these options (see
#                    tools/scsi_drive/drive_options.h); repeat for more drives (at most four over
#                    usb). Default: one standard drive.
#   --keep-attention do not clear the unit attentions that adding LUN 1 leaves on LUN 0
#   --udev           brings Debian's udevadm and res/linux/70-vardel.rules (in /etc/udev/rules.d)
#                    into the guest, as /vardel/udevadm, and both transports' modules and drive
#                    programs with the kernel's own USB mass-storage function, so that one job can
#                    attach side by side the disks the rule must tag and those it must not
#   --udev-program FILE
#                    with --udev, the rule's program (vardel-signature), put where udev looks for
#                    the programs a rule names (/lib/udev and /usr/lib/udev)
#   --root-image FILE
#                    attaches a Debian root image (tests/kernel/make-service-image.sh) as the
#                    guest's disk /dev/vda, with QEMU's snapshot=on so that nothing the guest writes
#                    stays, and brings tests/kernel/guest/root_lib.sh (and service_lib.sh) and the
#                    modules to mount it
#   --wine-image FILE
#                    the same with the Wine image (tests/kernel/make-wine-image.sh), and
#                    tests/kernel/guest/wine_lib.sh
#   --writable       what the guest writes to the image stays (for make-wine-image.sh)
#   --add NAME=FILE  copies FILE into the guest as /vardel/files/NAME (NAME may hold folders)
#   --memory MB      the guest's memory (default 512, with --wine-image 1536)
#   --timeout SECS   bound on the whole boot (default 180)
#   --cache DIR      where the kernel package is kept (default build/kernel)
#
# Exit status: the job's own, or 125 when the guest could not be built or booted (the reason is
# printed). The kernel package is the one Debian 12's linux-image-amd64 depends on; it is
# downloaded once with `apt-get download` and unpacked under the cache folder, never installed.
# So is the package udev for --udev, the host's own release of it.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
program=""
tools="$root/build/host/tools"
job=""
drives=()
keep_attention=0
udev=0
udev_program=""
transport=tcm
timeout_seconds=180
root_image=""
wine=0
snapshot=on
memory=""
added=()
cache="$root/build/kernel"
program_args=()

fail() {
    echo "run-in-guest: $*" >&2
    exit 125
}

while [ $# -gt 0 ]; do
    case "$1" in
        --program) program="$2"; shift 2 ;;
        --tools) tools="$2"; shift 2 ;;
        --job) job="$2"; shift 2 ;;
        --drive) drives+=("$2"); shift 2 ;;
        --keep-attention) keep_attention=1; shift ;;
        --udev) udev=1; shift ;;
        --udev-program) udev_program="$2"; shift 2 ;;
        --transport) transport="$2"; shift 2 ;;
        --root-image) root_image="$2"; shift 2 ;;
        --wine-image) root_image="$2"; wine=1; shift 2 ;;
        --add) added+=("$2"); shift 2 ;;
        --writable) snapshot=off; shift ;;
        --memory) memory="$2"; shift 2 ;;
        --timeout) timeout_seconds="$2"; shift 2 ;;
        --cache) cache="$2"; shift 2 ;;
        --) shift; program_args=("$@"); break ;;
        *) fail "unknown option $1 (see the comment at the top of $0)" ;;
    esac
done

command -v qemu-system-x86_64 >/dev/null ||
    fail "qemu-system-x86_64 is missing: run tools/install-kernel-deps.sh"
[ -x /bin/busybox ] || fail "/bin/busybox is missing: run tools/install-kernel-deps.sh"
command -v cpio >/dev/null || fail "cpio is missing: run tools/install-kernel-deps.sh"
# Each transport's drive program and kernel modules (with their parameters: dummy_hcd makes four
# UDCs, so that as many drives can be attached at once; usb-storage scans a new drive at once
# instead of a second later).
case "$transport" in
    tcm)
        drive_program=vardel_tcmu_handler
        wanted_modules=(configfs uio target_core_mod target_core_user tcm_loop scsi_mod sd_mod sg)
        ;;
    usb)
        drive_program=vardel_usb_drive
        wanted_modules=(configfs scsi_mod sd_mod sg "usbcore autosuspend=-1" "dummy_hcd num=4"
                        libcomposite usb_f_fs "usb_storage delay_use=0")
        ;;
    none)
        drive_program=""
        wanted_modules=(scsi_mod sd_mod sg)
        ;;
    *) fail "--transport is tcm, usb or none, not \"$transport\"" ;;
esac
if [ "$udev" -eq 1 ]; then
    drive_program="vardel_tcmu_handler vardel_usb_drive"
    wanted_modules=(configfs uio target_core_mod target_core_user tcm_loop scsi_mod sd_mod sg
                    "usbcore autosuspend=-1" "dummy_hcd num=4" libcomposite usb_f_fs
                    usb_f_mass_storage "usb_storage delay_use=0")
fi
if [ -n "$root_image" ]; then
    [ -f "$root_image" ] || fail "the root image $root_image is missing: tests/kernel/make-*-image.sh makes it"
    # ext4 asks the crypto layer for crc32c by name, not through a module dependency.
    wanted_modules+=(virtio_pci virtio_blk crc32c_generic ext4)
    [ "$wine" -eq 0 ] || memory="${memory:-1536}"
fi
memory="${memory:-512}"
[ -z "$udev_program" ] || [ -x "$udev_program" ] ||
    fail "--udev-program $udev_program is missing (build it first)"
for entry in "${added[@]}"; do
    [ -f "${entry#*=}" ] || fail "--add $entry: ${entry#*=} is missing (build it first)"
done
helpers="$drive_program sg_tur sg_floor hold_lock"
[ "$transport" != none ] || helpers=""
for helper in $helpers; do
    [ -x "$tools/$helper" ] || fail "$tools/$helper is missing: build the host preset first"
done
[ -z "$program" ] || [ -x "$program" ] || fail "program $program is missing or not executable"
[ -z "$job" ] || [ -f "$job" ] || fail "job $job is missing"

# --- the kernel -------------------------------------------------------------------------------
mkdir -p "$cache"
package="${VARDEL_KERNEL_PACKAGE:-}"
if [ -z "$package" ]; then
    package="$(apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9.]*-[0-9]*-amd64\)\(-unsigned\)\?$/\1/p' | head -n1)"
fi
if [ -z "$package" ]; then
    # No package lists (apt-get update never ran, or no network): take what the cache holds.
    package="$(ls -1 "$cache" 2>/dev/null | grep '^linux-image-.*-amd64$' | sort -V | tail -n1 || true)"
fi
[ -n "$package" ] || fail "cannot tell which kernel to use: run apt-get update, or set VARDEL_KERNEL_PACKAGE"
unpacked="$cache/$package"
if [ ! -f "$unpacked/.unpacked" ]; then
    echo "run-in-guest: downloading $package into $cache"
    rm -rf "$unpacked" && mkdir -p "$unpacked"
    (cd "$cache" && rm -f "${package}"_*.deb &&
        apt-get download -o APT::Sandbox::User=root "$package" >/dev/null) ||
        fail "apt-get download $package failed"
    dpkg-deb -x "$cache/${package}"_*.deb "$unpacked" || fail "cannot unpack $package"
    rm -f "$cache/${package}"_*.deb
    touch "$unpacked/.unpacked"
fi
kernel="$(ls "$unpacked"/boot/vmlinuz-* 2>/dev/null | head -n1)"
[ -n "$kernel" ] || fail "$package holds no kernel image"
release="${kernel##*/vmlinuz-}"
modules="$unpacked/lib/modules/$release"

# --- udevadm (--udev) -------------------------------------------------------------------------
if [ "$udev" -eq 1 ]; then
    udev_root="$cache/udev"
    if [ ! -f "$udev_root/.unpacked" ]; then
        echo "run-in-guest: downloading udev into $cache"
        rm -rf "$udev_root" && mkdir -p "$udev_root"
        (cd "$cache" && rm -f udev_*.deb &&
            apt-get download -o APT::Sandbox::User=root udev >/dev/null) ||
            fail "apt-get download udev failed"
        dpkg-deb -x "$cache"/udev_*.deb "$udev_root" || fail "cannot unpack udev"
        rm -f "$cache"/udev_*.deb
        touch "$udev_root/.unpacked"
    fi
    udevadm="$udev_root/bin/udevadm"
    [ -x "$udevadm" ] || udevadm="$udev_root/usr/bin/udevadm"
    [ -x "$udevadm" ] || fail "the package udev in $udev_root holds no udevadm"
    # Its libraries come from the host, which runs the same release; a library of the package's
    # own (such as a private libsystemd-shared) would not be found there.
    ! ldd "$udevadm" | grep 'not found' || fail "udevadm needs libraries the host lacks"
fi

# --- the initramfs ----------------------------------------------------------------------------
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
image="$work/root"
mkdir -p "$image"/{bin,dev,proc,sys,tmp,etc,vardel,lib/modules}
cp /bin/busybox "$image/bin/busybox"

# The modules the guest needs and, from each module's own "depends=", everything they need,
# listed so that every module comes after its dependencies; a wanted module's parameters follow
# its name on its line.
declare -A module_path=() loaded=() parameters=()
while IFS= read -r file; do
    name="${file##*/}"
    name="${name%.ko}"
    module_path["${name//-/_}"]="$file"
done < <(find "$modules/kernel" -name '*.ko')
order=()
add_module() {
    local name="${1//-/_}" file dependency
    [ -z "${loaded[$name]:-}" ] || return 0
    loaded["$name"]=1
    file="${module_path[$name]:-}"
    [ -n "$file" ] || fail "module $name is not in $package"
    for dependency in $(objcopy -O binary --only-section=.modinfo "$file" /dev/stdout |
        tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' ' '); do
        add_module "$dependency"
    done
    cp "$file" "$image/lib/modules/$name.ko"
    order+=("$name${parameters[$name]:+ ${parameters[$name]}}")
}
for wanted in "${wanted_modules[@]}"; do
    read -r name arguments <<< "$wanted"
    parameters["${name//-/_}"]="$arguments"
    add_module "$name"
done
printf '%s\n' "${order[@]}" > "$image/lib/modules/load-order"

# A dynamically linked program (a sanitizer build, say) brings its libraries and loader along.
add_program() {  # add_program FILE NAME-IN-THE-GUEST
    cp "$1" "$image/vardel/$2"
    if ldd "$1" >/dev/null 2>&1; then
        for library in $(ldd "$1" | grep -o '/[^ ]*'); do
            mkdir -p "$image$(dirname "$library")"
            cp -L "$library" "$image$library"
        done
    fi
}
for helper in $helpers; do add_program "$tools/$helper" "$helper"; done
[ -z "$program" ] || add_program "$program" program
cp "$here/guest/init" "$image/init"
cp "$here/guest/lib.sh" "$here/guest/usb_lib.sh" "$image/vardel/"
[ -z "$root_image" ] || cp "$here/guest/root_lib.sh" "$here/guest/service_lib.sh" "$image/vardel/"
[ "$wine" -eq 0 ] || cp "$here/guest/wine_lib.sh" "$image/vardel/"
for entry in "${added[@]}"; do
    mkdir -p "$(dirname "$image/vardel/files/${entry%%=*}")"
    cp "${entry#*=}" "$image/vardel/files/${entry%%=*}"
done
if [ "$udev" -eq 1 ]; then
    add_program "$udevadm" udevadm
    mkdir -p "$image/etc/udev/rules.d" "$image/run/udev"
    cp "$root/res/linux/70-vardel.rules" "$image/etc/udev/rules.d/"
    if [ -n "$udev_program" ]; then
        add_program "$udev_program" "$(basename "$udev_program")"
        for folder in lib/udev usr/lib/udev; do
            mkdir -p "$image/$folder"
            cp "$udev_program" "$image/$folder/"
        done
    fi
fi
echo "$transport" > "$image/vardel/transport"
chmod +x "$image/init"
# vardel: the drive service's account, whose group the udev rule gives the served drives' nodes.
printf 'root:x:0:0:root:/:/bin/sh\ntester:x:1000:1000:tester:/tmp:/bin/sh\n%s\n' \
    'vardel:x:998:998:Vardel drive service:/var/lib/vardel:/bin/false' > "$image/etc/passwd"
printf 'root:x:0:\ntester:x:1000:\nvardel:x:998:\n' > "$image/etc/group"

if [ -n "$job" ]; then
    cp "$job" "$image/vardel/job.sh"
else
    {
        echo '# Generated by run-in-guest.sh: add the drives, run the program once.'
        if [ ${#drives[@]} -eq 0 ]; then drives=(""); fi
        index=0
        for options in "${drives[@]}"; do
            echo "add_drive drive$index $options"
            [ "$keep_attention" -eq 1 ] || echo "clear_attention drive$index"
            index=$((index + 1))
        done
        if [ -n "$program" ]; then
            printf 'echo "+ vardel/program'; printf ' %q' "${program_args[@]}"; echo '"'
            printf '/vardel/program'; printf ' %q' "${program_args[@]}"; echo
            echo 'status=$?'
            echo 'echo "exit status $status"'
        else
            echo 'status=0'
        fi
        echo 'echo "--- commands the drives received"'
        echo 'cat "$VARDEL_COMMAND_LOG"'
        echo 'exit $status'
    } > "$image/vardel/job.sh"
fi

(cd "$image" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initramfs.gz"

# --- the boot ---------------------------------------------------------------------------------
console="$work/console.log"
disk=()
cpu=max
if [ -n "$root_image" ]; then
    disk=(-drive "file=$root_image,format=raw,if=virtio,snapshot=$snapshot")
fi
if [ "$wine" -eq 1 ]; then
    # QEMU 7.2's emulation makes the stack reads of a 32-bit IRET supervisor accesses, which SMAP
    # refuses in user mode: every 32-bit Wine program (whose system calls return by IRET) dies of
    # a kernel oops. The guest's CPU goes without SMAP.
    cpu=max,-smap
fi
started=$EPOCHREALTIME
set +e
timeout "$timeout_seconds" qemu-system-x86_64 -accel tcg -machine q35 -cpu "$cpu" -smp 1 -m "$memory" \
    -nographic -no-reboot -nodefaults -serial "file:$console" "${disk[@]}" \
    -kernel "$kernel" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 panic=-1 quiet loglevel=4" </dev/null
qemu_status=$?
set -e
elapsed=$(awk -v from="$started" -v to="$EPOCHREALTIME" 'BEGIN { printf "%.1f", to - from }')

# The console carries the job's output between two marker lines, and the job's exit status.
if [ -f "$console" ]; then
    sed -e 's/\r$//' "$console" | sed -n '/^VARDEL-GUEST-BEGIN$/,/^VARDEL-GUEST-EXIT /p' |
        sed -e '1d' -e '/^VARDEL-GUEST-EXIT /d'
fi
status="$(sed -e 's/\r$//' "$console" 2>/dev/null | sed -n 's/^VARDEL-GUEST-EXIT \([0-9]*\)$/\1/p' | tail -n1)"
job_name="${job##*/}"
echo "run-in-guest: the boot took $elapsed s (kernel $release, $transport, ${job_name:-no job})" >&2
if [ -z "$status" ]; then
    reason="qemu exited with $qemu_status"
    [ "$qemu_status" -ne 124 ] || reason="no end after $timeout_seconds s"
    echo "run-in-guest: the guest ended without an exit status ($reason); its console:" >&2
    sed -e 's/\r$//' "$console" 2>/dev/null | tail -n 60 >&2
    exit 125
fi
exit "$status"
