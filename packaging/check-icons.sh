#!/usr/bin/env bash
# Checks the icon files written at build time, decoding them with ImageMagick rather than our own code:
# each has its size, the 32x32 file has the icon's frame and gradient colours at known pixels, and every
# larger file is exactly ImageMagick's nearest-neighbour enlargement (-sample) of the 32x32 file.
# Usage: check-icons.sh ICON_DIR   (ICON_DIR holds SIZExSIZE/apps/tintvale.png)
set -euo pipefail
dir=$1
work=$(mktemp -d)
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../scripts/lib.sh"
on_exit rm -rf "$work"

base=$dir/32x32/apps/tintvale.png
# pixel  expected colour   what it is
while read -r x y want what; do
  got=$(convert "$base" -depth 8 -format "%[hex:p{$x,$y}]" info:) || { fail "cannot decode $base"; break; }
  got=${got:0:6}
  [ "$got" = "$want" ] || fail "32x32 pixel ($x,$y), $what: got #$got, want #$want"
done <<'TABLE'
0 0 000000 outer black line, top left
31 31 000000 outer black line, bottom right
1 1 F4F1E8 off-white line
30 16 F4F1E8 off-white line, right side
2 2 000000 inner black line
3 3 7A1FA2 violet, top left of the gradient
28 28 FFEE10 yellow, bottom right of the gradient
3 28 FF2A00 red-orange, middle band, bottom left
28 3 FF2A00 red-orange, middle band, top right
TABLE

for size in 32 48 64 128 256; do
  file=$dir/${size}x${size}/apps/tintvale.png
  [ -f "$file" ] || { fail "missing $file"; continue; }
  dims=$(identify -format '%w %h %m' "$file" 2>"$work/err") || { fail "$file does not decode: $(cat "$work/err")"; continue; }
  [ "$dims" = "$size $size PNG" ] || fail "$file: got '$dims', want '$size $size PNG'"
  [ -s "$work/err" ] && fail "$file: decoder warnings: $(cat "$work/err")"
  convert "$base" -sample "${size}x${size}!" "$work/want.png"
  diff=$(compare -metric AE "$file" "$work/want.png" null: 2>&1) || true
  [ "$diff" = "0" ] || fail "$file: $diff pixels differ from the nearest-neighbour enlargement"
done

if [ $failures -ne 0 ]; then
  echo "$failures icon check(s) failed"
  exit 1
fi
echo "icons: 5 sizes, all checks passed"
