#!/usr/bin/env bash
# Checks that the Windows zip holds the read-me and the three programs of both architectures.
# Usage: packaging/windows/check-zip.sh Vardel-VERSION-windows.zip
set -euo pipefail

zip=${1:?usage: check-zip.sh ZIP}
listing=$(python3 -m zipfile -l "$zip")
top=$(basename "$zip" .zip)
missing=0
for file in README.txt win32/Vardel.exe win32/VardelDemo.exe win32/vardelctl.exe \
            win64/Vardel.exe win64/VardelDemo.exe win64/vardelctl.exe; do
  if ! grep -q "^$top/$file " <<<"$listing"; then
    echo "check-zip: $top/$file is missing from $zip" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ]
echo "check-zip: $(basename "$zip"): the read-me and Vardel.exe, VardelDemo.exe, vardelctl.exe" \
     "for win32 and win64"
