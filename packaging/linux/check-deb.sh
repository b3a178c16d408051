#!/usr/bin/env bash
# Unpacks the .deb into a scratch root (no dpkg database touched), checks that every file is where
# the package promises it, and runs the unpacked programs on the emulated drive.
# Usage: packaging/linux/check-deb.sh PACKAGE.deb
set -euo pipefail

deb=${1:?usage: check-deb.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

expected=(
  usr/bin/vardel
  usr/bin/vardelctl
  usr/lib/udev/rules.d/70-vardel.rules
  usr/share/applications/vardel.desktop
  usr/share/icons/hicolor/16x16/apps/vardel.png
  usr/share/icons/hicolor/32x32/apps/vardel.png
  usr/share/icons/hicolor/48x48/apps/vardel.png
  usr/share/man/man1/vardel.1.gz
  usr/share/man/man1/vardelctl.1.gz
)
missing=0
for file in "${expected[@]}"; do
  if [ ! -s "$root/$file" ]; then
    echo "check-deb: $file is missing from $deb" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ]
for program in vardel vardelctl; do
  [ -x "$root/usr/bin/$program" ] || { echo "check-deb: $program is not executable" >&2; exit 1; }
done
grep -qx "Exec=vardel" "$root/usr/share/applications/vardel.desktop"
grep -qx "Icon=vardel" "$root/usr/share/applications/vardel.desktop"
for field in Depends Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || { echo "check-deb: no $field" >&2; exit 1; }
done

status=$("$root/usr/bin/vardelctl" --emulate status)
expected_status=$'Lun0: Removable\nLun1: Fixed Disk'
if [ "$status" != "$expected_status" ]; then
  echo "check-deb: the unpacked vardelctl --emulate status printed:" >&2
  echo "$status" >&2
  exit 1
fi
"$root/usr/bin/vardel" --version | grep -q "^vardel "
echo "check-deb: $(basename "$deb"): ${#expected[@]} files in place; the unpacked vardelctl" \
     "--emulate status printed Lun0: Removable / Lun1: Fixed Disk"
