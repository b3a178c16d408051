#!/usr/bin/env bash
# Checks that the Windows zip holds the read-me, the licence, the third-party notices and the
# three programs of both architectures, and that the notices cover every library the programs
# link statically.
# Usage: packaging/windows/check-zip.sh Vardel-VERSION-windows.zip
set -euo pipefail

zip=${1:?usage: check-zip.sh ZIP}
listing=$(python3 -m zipfile -l "$zip")
top=$(basename "$zip" .zip)
missing=0
for file in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt \
            win32/Vardel.exe win32/VardelDemo.exe win32/vardelctl.exe \
            win64/Vardel.exe win64/VardelDemo.exe win64/vardelctl.exe; do
  if ! grep -q "^$top/$file " <<<"$listing"; then
    echo "check-zip: $top/$file is missing from $zip" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] || exit 1

# The text of a member of the zip.
member() {
  python3 -c 'import sys, zipfile
sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())' "$zip" "$top/$1"
}
member LICENSE.txt | grep -q "Copyright (c) 2026 The Vardel developers" \
  || { echo "check-zip: LICENSE.txt is not Vardel's licence" >&2; exit 1; }
notices=$(member THIRD-PARTY-NOTICES.txt)
# Each library with a line of its licence's own text, so that a heading alone does not pass.
required=(
  "CLI11|University of Cincinnati"
  "nlohmann-json|Niels Lohmann"
  "libstdc++ and libgcc|GCC RUNTIME LIBRARY EXCEPTION"
  "mingw-w64 runtime|Zope Public License (ZPL) Version 2.1"
  "winpthreads|Lockless Inc."
)
for pair in "${required[@]}"; do
  library=${pair%%|*}
  text=${pair#*|}
  if ! grep -qF "$library" <<<"$notices" || ! grep -qF "$text" <<<"$notices"; then
    echo "check-zip: THIRD-PARTY-NOTICES.txt lacks $library ($text)" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] || exit 1
echo "check-zip: $(basename "$zip"): the read-me, the licence, the notices of ${#required[@]}" \
     "statically linked libraries, and Vardel.exe, VardelDemo.exe, vardelctl.exe for win32 and" \
     "win64"
