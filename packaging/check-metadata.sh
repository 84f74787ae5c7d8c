#!/usr/bin/env bash
# Checks the desktop integration files before they are packaged: the validators report no error or
# warning, the desktop entry starts plain `tintvale` with its icon, its Japanese comment is the About box's
# description, the metainfo names this version, and the man page renders without warnings.
# Usage: check-metadata.sh SOURCE_DIR BUILD_PACKAGING_DIR VERSION
set -euo pipefail
src=$1
out=$2
version=$3
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../scripts/lib.sh"

desktop=$src/packaging/org.tintvale.tintvale.desktop
metainfo=$out/org.tintvale.tintvale.metainfo.xml
man=$out/tintvale.1

# desktop-file-validate prints nothing, not even a hint (two main categories would list the program twice).
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"

# key    wanted value
while IFS=$'\t' read -r key want; do
  # shellcheck disable=SC2001  # sed escapes each bracket of the key for the pattern of the next sed
  got=$(sed -n "s/^$(sed 's/[][]/\\&/g' <<<"$key")=//p" "$desktop")
  [ "$got" = "$want" ] || fail "desktop entry $key: got '$got', want '$want'"
done <<'TABLE'
Type	Application
Name	Tintvale
Exec	tintvale
Icon	tintvale
Terminal	false
Categories	Graphics;
TABLE

# The Japanese comment is the About box's description, taken from the About box layout itself.
description=$(sed -n '/lblDescription/,/caption/ s/.*\.caption = u"\([^"]*\)".*/\1/p' \
  "$src/about_box/frm_about_layout.cpp" | head -1)
[ -n "$description" ] || fail "no lblDescription caption found in about_box/frm_about_layout.cpp"
comment_ja=$(sed -n 's/^Comment\[ja\]=//p' "$desktop")
[ "$comment_ja" = "$description" ] || fail "Comment[ja] is '$comment_ja', the About box says '$description'"

report=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
grep -q '<screenshots>' "$metainfo" && fail "the metainfo has screenshots"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $(basename "$desktop")"

report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man" 2>&1 >/dev/null)
[ -z "$report" ] || fail "man page warnings: $report"
grep -q "^\.TH TINTVALE 1 .*\"Tintvale $version\"" "$man" || fail "the man page does not name version $version"
for option in d c; do
  grep -qxF ".B \\-$option" "$man" || fail "the man page does not describe -$option"
done

if [ $failures -ne 0 ]; then
  echo "$failures metadata check(s) failed"
  exit 1
fi
echo "metadata: desktop entry, metainfo and man page checks passed"
