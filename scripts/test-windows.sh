#!/usr/bin/env bash
# The Windows tier: builds the 32-bit release and the 64-bit test build with MinGW-w64, checks the
# release exe (PE32, system DLLs only, size), and runs under wine64 in a private X server the core tests,
# the Win32 backend tests and the black-box tests of the program. One Wine prefix and one persistent
# wineserver serve the whole run.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
jobs=$(nproc)

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"

exe=build/win32/tintvale.exe
headers=$(i686-w64-mingw32-objdump -f -p "$exe")
if grep -q 'file format pei-i386' <<<"$headers" && grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"; then
  echo "win32 exe: PE32 (i386), Windows GUI subsystem"
else
  fail "win32 exe is not a 32-bit GUI PE"
fi
# Only DLLs every Windows has; a MinGW runtime DLL here means the static link broke.
allowed='^(ADVAPI32|GDI32|KERNEL32|USER32|SHELL32|msvcrt)\.dll$'
imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }')
echo "win32 exe imports: $(tr '\n' ' ' <<<"$imports")"
for dll in $imports; do
  [[ $dll =~ $allowed ]] || fail "win32 exe imports $dll"
done
stripped=$(mktemp)
i686-w64-mingw32-strip -o "$stripped" "$exe"
size=$(stat -c %s "$stripped")
rm -f "$stripped"
echo "win32 exe stripped size: $size bytes"
[ "$size" -le $((300 * 1024)) ] || fail "stripped win32 exe over 300 KB"
# The resources: a 32x32 256-colour icon, the version record and the manifest.
resources=$(wrestool -l "$exe")
for type in 'type=icon' 'type=group_icon' 'type=version' 'type=24'; do
  grep -q -- "$type" <<<"$resources" || fail "win32 exe has no $type resource"
done
# The version record: 1.5.0.0 for file and product, "1.05" strings, Japanese with Unicode.
version=$(wrestool -x --raw -t 16 "$exe" | od -An -tx1 -v | tr -d ' \n')
[[ $version == *bd04effe000001000500010000000000050001000000000* ]] ||
  fail "version record is not 1.5.0.0"
[[ $version == *1104b004* ]] || fail "version record is not Japanese/Unicode"
strings=$(wrestool -x --raw -t 16 "$exe" | iconv -f UTF-16LE -t UTF-8 -c | tr '\0' '|')
for want in '041104B0' 'FileVersion|*1.05' 'ProductVersion|*1.05' 'ProductName|*Tintvale'; do
  # shellcheck disable=SC2053
  [[ $strings == *$want* ]] || fail "version record lacks $want"
done
icon=$(mktemp)
wrestool -x -t 14 "$exe" >"$icon"
icotool -l "$icon" | grep -q -- '--width=32 --height=32 --bit-depth=8 --palette-size=256' ||
  fail "icon is not 32x32 with 256 colours: $(icotool -l "$icon")"
rm -f "$icon"

# Everything that runs goes through ctest of the win64 build, inside one X server and Wine prefix: this
# shell owns the wineserver, so the tests leave it running (TINTVALE_WINE_KEEP).
scripts/with-x.sh bash -c '
  source scripts/lib.sh
  wine_start
  export TINTVALE_WINE_KEEP=1
  ctest --preset win64 -j 1
' || fail "tests of the win64 build under Wine"
[ "$failures" -eq 0 ]
