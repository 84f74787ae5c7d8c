#!/usr/bin/env bash
# Soak: runs the real program with "-c" for SECONDS (default 600, i.e. 60 000 ticks of 10 ms) in a private
# Xvfb + openbox, the pointer moving at about 100 Hz and Enter pressed once a second, and records its RSS and
# the X resources it holds (xrestop -b) every 5 s. Passes when, after a warm-up of the first sixth of the
# run (at least 10 s), RSS grows by at most 1 MB per 10 minutes (pro rata, 100 KiB per minute, never less
# than 100 KiB) and no X resource count ends higher than at the end of the warm-up.
# Usage: scripts/soak.sh [SECONDS]   (the program: $TINTVALE_PROGRAM, default build/linux/tintvale)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
fail_prefix=soak

if [ "${1:-}" != --inside ]; then
  program=${TINTVALE_PROGRAM:-build/linux/tintvale}
  if [ -z "${TINTVALE_PROGRAM:-}" ] && [ ! -x "$program" ]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j 2 --target tintvale >/dev/null
  fi
  [ -x "$program" ] || die "$program is not built"
  command -v xrestop >/dev/null || die "xrestop is missing (scripts/deps.sh test)"
  exec scripts/with-x.sh "$0" --inside "$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" "${1:-600}"
fi

program=$2
seconds=$3
out=$(mktemp -d)
on_exit rm -rf "$out"

"$program" -c >"$out/program.log" 2>&1 & prog=$!
stop_at_exit "$prog"
on_die cat "$out/program.log"
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$prog" | head -1)
[ -n "$window" ] || die "the program showed no window"
# The user's Enter goes to the focused window: the soak starts once the program's is active.
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
wait_for 10 active || die "the program's window did not become active"

soak_user "$seconds" & user=$!
stop_at_exit "$user"

resources() {  # windows GCs fonts pixmaps pictures glyphsets colormaps cursors of the program's client
  xrestop -b -m 1 2>/dev/null | awk -v pid="$prog" '
    /PID:/ { mine = ($0 ~ ("PID: *" pid " ")) }
    mine && /^\t(windows|GCs|fonts|pixmaps|pictures|glyphsets|colormaps|cursors) / { printf "%s ", $3 }
    END { print "" }'
}

echo "time_s rss_kib windows GCs fonts pixmaps pictures glyphsets colormaps cursors" > "$out/record"
record() { echo "$1 $(rss_kib "$prog") $(resources)" >> "$out/record"; }
record_while "$prog" "$seconds" record
stop "$user"
# The captures happened and the program still answers: its clipboard holds a captured colour.
clip=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
echo "soak: clipboard after the last capture: '$clip'"
[[ $clip =~ ^#[0-9A-F]{6}$ ]] || die "FAIL (no capture on the clipboard)"

cat "$out/record"
soak_verdict soak "$out/record" "$seconds" 1 "X resources"
