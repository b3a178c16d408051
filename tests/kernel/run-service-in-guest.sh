#!/usr/bin/env bash
# Runs a job with the drive service in the guest, over the USB drive: makes or finds the root with
# the system bus and polkit (make-service-image.sh), installs the build's service component into a
# staging tree (`cmake --install --component service`, prefix /usr, as the package lays it out)
# and hands run-in-guest.sh that tree, as /vardel/files/service.tar, and the package's postinst,
# as /vardel/files/postinst. The job (jobs/service-*.sh) unpacks them into the root at boot
# (tests/kernel/guest/service_lib.sh).
#
#   run-service-in-guest.sh --build DIR --job FILE [RUN-IN-GUEST OPTIONS]...
#
# DIR is a configured and built tree (the service and the files it installs). Exit status: the
# job's, or 125 when the guest, the image or the staging tree could not be made (the reason is
# printed).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build=""
options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        *) options+=("$1"); shift ;;
    esac
done
fail() {
    echo "run-service-in-guest: $*" >&2
    exit 125
}
[ -n "$build" ] || fail "--build DIR is needed"

image=$("$here/make-service-image.sh") || exit 125
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr --component service > "$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install of the service component failed"; }
# Debian 12 has merged /usr: what goes to /lib goes to /usr/lib, as dpkg puts it through the
# root's /lib link (which unpacking a /lib folder would replace).
if [ -d "$stage/lib" ]; then
    cp -a "$stage/lib/." "$stage/usr/lib/" && rm -rf "$stage/lib"
fi
[ -z "$(ls -A "$stage" | grep -vx usr)" ] || fail "the install tree holds more than /usr: $(ls "$stage")"
tar -C "$stage" -cf "$work/service.tar" usr
set +e
"$here/run-in-guest.sh" --transport usb --root-image "$image" \
    --add "service.tar=$work/service.tar" --add "postinst=$root/packaging/linux/postinst" \
    "${options[@]}"
status=$?
set -e
exit $status
