#!/usr/bin/env bash
# Runs a job with the Windows programs under Wine in the guest, over the USB drive: makes or finds
# the Wine image (make-wine-image.sh) and hands run-in-guest.sh the programs of both Windows
# builds, as /vardel/files/win64/NAME and /vardel/files/win32/NAME (NAME without its folders).
#
#   run-windows-in-guest.sh --win64 DIR --win32 DIR --job FILE [--program NAME]...
#                           [RUN-IN-GUEST OPTIONS]...
#
# Each --program NAME is a file of both build folders (such as vardelctl.exe or
# tests/e2e/vardel_e2e_test.exe). Exit status: the
# job's, or 125 when the guest or the image could not be made (the reason is printed).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
win64=""
win32=""
programs=()
options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --win64) win64="$2"; shift 2 ;;
        --win32) win32="$2"; shift 2 ;;
        --program) programs+=("$2"); shift 2 ;;
        *) options+=("$1"); shift ;;
    esac
done
if [ -z "$win64" ] || [ -z "$win32" ] || [ ${#programs[@]} -eq 0 ]; then
    echo "run-windows-in-guest: --win64, --win32 and at least one --program are needed" >&2
    exit 125
fi

added=()
for arch in win64 win32; do
    folder=${!arch}
    for name in "${programs[@]}"; do
        if [ ! -f "$folder/$name" ]; then
            echo "run-windows-in-guest: $folder/$name is missing: build the $arch preset first" >&2
            exit 125
        fi
        added+=(--add "$arch/${name##*/}=$folder/$name")
    done
done

image=$("$here/make-wine-image.sh") || exit 125
exec "$here/run-in-guest.sh" --transport usb --wine-image "$image" "${added[@]}" "${options[@]}"
