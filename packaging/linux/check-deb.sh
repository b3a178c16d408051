#!/usr/bin/env bash
# Unpacks the .deb into a scratch root (no dpkg database touched), checks that every file is where
# the package promises it, that the manual pages name only files it holds, that lintian finds no
# error or warning and that the desktop entry validates, and runs the unpacked programs on the
# emulated drive. lintian and desktop-file-validate come with `tools/install-deps.sh tests`.
# Usage: packaging/linux/check-deb.sh PACKAGE.deb
set -euo pipefail

deb=${1:?usage: check-deb.sh PACKAGE.deb}
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

fail() {
  echo "check-deb: $*" >&2
  exit 1
}

for tool in lintian desktop-file-validate readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run tools/install-deps.sh tests"
done

expected=(
  usr/bin/vardel
  usr/bin/vardelctl
  usr/lib/udev/rules.d/70-vardel.rules
  usr/lib/udev/vardel-signature
  usr/share/applications/vardel.desktop
  usr/share/icons/hicolor/16x16/apps/vardel.png
  usr/share/icons/hicolor/32x32/apps/vardel.png
  usr/share/icons/hicolor/48x48/apps/vardel.png
  usr/share/man/man1/vardel.1.gz
  usr/share/man/man1/vardelctl.1.gz
  usr/share/man/man8/vardel-service.8.gz
  usr/share/doc/vardel/copyright
  usr/share/doc/vardel/changelog.gz
  usr/share/doc/vardel/vardelctl.md
  usr/share/doc/vardel/scenario-format.md
  usr/share/doc/vardel/examples/plain.json
  usr/share/vardel/translations/vardel_zh_CN.qm
  usr/share/vardel/translations/vardel_zh_TW.qm
  usr/share/doc/vardel/service.md
  usr/libexec/vardel/vardel-service
  lib/systemd/system/vardel-service.service
  usr/lib/sysusers.d/vardel.conf
  usr/share/dbus-1/system.d/org.vardel.Drives1.conf
  usr/share/dbus-1/system-services/org.vardel.Drives1.service
  usr/share/polkit-1/actions/org.vardel.drives.policy
)
# The completion is written beside the manual page of vardelctl; once it is there, it ships.
if [ -f "$here/vardelctl.bash-completion" ]; then
  expected+=(usr/share/bash-completion/completions/vardelctl)
fi
missing=0
for file in "${expected[@]}"; do
  if [ ! -s "$root/$file" ]; then
    echo "check-deb: $file is missing from $deb" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] || exit 1
for program in usr/bin/vardel usr/bin/vardelctl usr/libexec/vardel/vardel-service \
  usr/lib/udev/vardel-signature; do
  [ -x "$root/$program" ] || fail "$program is not executable"
  # Linked as a distribution links: through the dynamic loader, with the system's libraries.
  readelf --program-headers "$root/$program" | grep -q "program interpreter" \
    || fail "$program is linked statically"
done
# The bus starts the program the activation file and the unit name, as the account that alone
# may own the name.
grep -qx "Exec=/usr/libexec/vardel/vardel-service" \
  "$root/usr/share/dbus-1/system-services/org.vardel.Drives1.service" \
  || fail "the activation file does not name /usr/libexec/vardel/vardel-service"
grep -qx "ExecStart=/usr/libexec/vardel/vardel-service" \
  "$root/lib/systemd/system/vardel-service.service" \
  || fail "the unit does not start /usr/libexec/vardel/vardel-service"
grep -q '<policy user="vardel">' "$root/usr/share/dbus-1/system.d/org.vardel.Drives1.conf" \
  || fail "the bus policy does not give the name to the account vardel"
grep -q "^u vardel " "$root/usr/lib/sysusers.d/vardel.conf" || fail "no account vardel"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst | grep -q "systemd-sysusers vardel.conf" \
  || fail "the postinst does not make the account vardel"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postrm | grep -q "rm -rf /var/lib/vardel" \
  || fail "the postrm does not remove the service's journal on purge"
# The drive's node goes to the service's group alone: nobody at a seat gets every SCSI command.
rule="$root/usr/lib/udev/rules.d/70-vardel.rules"
grep -v '^#' "$rule" | grep -q 'GROUP="vardel", MODE="0660"' \
  || fail "the udev rule does not give the node to the group vardel"
! grep -v '^#' "$rule" | grep -q 'uaccess' || fail "the udev rule gives the node to the user at the seat"
grep -qx "Exec=vardel" "$root/usr/share/applications/vardel.desktop"
grep -qx "Icon=vardel" "$root/usr/share/applications/vardel.desktop"
for field in Depends Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "no $field"
done
# Qt's own translations give the window's boxes their buttons in the window's language.
dpkg-deb -f "$deb" Recommends | grep -q "qt6-translations-l10n" \
  || fail "qt6-translations-l10n is not recommended"
head -n 1 "$root/usr/share/doc/vardel/copyright" \
  | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
  || fail "the copyright file is not in the machine-readable format"
# The changelog's newest entry is this version.
version=$(dpkg-deb -f "$deb" Version)
zcat "$root/usr/share/doc/vardel/changelog.gz" | head -n 1 | grep -q "^vardel ($version) " \
  || fail "changelog.gz does not start with version $version"

# Every file under /usr that a manual page names is in the package.
for page in "$root"/usr/share/man/man1/*.1.gz "$root"/usr/share/man/man8/*.8.gz; do
  for named in $(zcat "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g' \
                   | grep -o '/usr/share/doc/vardel/[A-Za-z0-9./_-]*[A-Za-z0-9]' | sort -u); do
    [ -e "$root$named" ] || fail "$(basename "$page") names $named, which the package lacks"
  done
done

desktop-file-validate "$root/usr/share/applications/vardel.desktop" \
  || fail "the desktop entry does not validate"
# No error and no warning; an override would sit in usr/share/lintian/overrides with its reason.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian found the above"

status=$("$root/usr/bin/vardelctl" --emulate status)
expected_status=$'Lun0: Removable\nLun1: Fixed Disk'
if [ "$status" != "$expected_status" ]; then
  echo "check-deb: the unpacked vardelctl --emulate status printed:" >&2
  echo "$status" >&2
  exit 1
fi
"$root/usr/bin/vardel" --version | grep -q "^vardel "
echo "check-deb: $(basename "$deb"): ${#expected[@]} files in place, lintian and" \
     "desktop-file-validate clean; the unpacked vardelctl --emulate status printed" \
     "Lun0: Removable / Lun1: Fixed Disk"
