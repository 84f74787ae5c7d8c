#!/usr/bin/env bash
# Writes the Debian changelog of the package from CHANGELOG.md: one entry per released version ("## X.Y.Z
# — YYYY-MM-DD"), newest first, its paragraphs and bullets as "*" items wrapped at 78 columns; the
# Unreleased section is left out, so the newest entry is the packaged version.
# Usage: debian-changelog.sh CHANGELOG.md PACKAGE "MAINTAINER <ADDRESS>" > changelog
set -euo pipefail
changelog=$1
package=$2
maintainer=$3

awk -v package="$package" -v maintainer="$maintainer" '
function wrap(text, first, rest,    n, words, i, line, out) {
  n = split(text, words, / +/)
  line = first
  out = ""
  for (i = 1; i <= n; i++) {
    if (words[i] == "") continue
    if (line != first && line != rest && length(line) + 1 + length(words[i]) > 78) {
      out = out line "\n"
      line = rest
    }
    line = (line == first || line == rest) ? line words[i] : line " " words[i]
  }
  return out line "\n"
}
function flush_item() {
  if (item != "") printf "%s", wrap(item, "  * ", "    ")
  item = ""
}
function close_entry() {
  flush_item()
  if (version != "") {
    cmd = "LC_ALL=C date -u -R -d \"" date " 12:00\""
    cmd | getline stamp
    close(cmd)
    printf "\n -- %s  %s\n", maintainer, stamp
  }
  version = ""
}
/^## / {
  close_entry()
  if (match($0, /^## [0-9][0-9.]* /)) {
    version = substr($0, 4, RLENGTH - 4)
    date = $NF
    if (entries++) printf "\n"
    printf "%s (%s) unstable; urgency=medium\n\n", package, version
  }
  next
}
version == "" { next }
/^[-*] / { flush_item(); item = substr($0, 3); next }
/^[ \t]*$/ { flush_item(); next }
{ sub(/^[ \t]+/, ""); item = item == "" ? $0 : item " " $0 }
END { close_entry() }
' "$changelog" | sed 's/`//g'
