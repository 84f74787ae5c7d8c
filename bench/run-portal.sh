#!/usr/bin/env bash
# Takes the figures of the Wayland screen path inside a running X server and session bus
# (scripts/bench-portal.sh starts both): the tick benchmark on the X11 path, then on the portal path with
# the test PipeWire source sending 1920x1080 frames at 60 a second and moving the pointer at 100 Hz over
# stripes, through the real xdg-desktop-portal, PipeWire and WirePlumber. Prints the table.
# Usage: bench/run-portal.sh BUILD_DIR [ROUNDS] [SECONDS]
set -uo pipefail
build=$(cd "$1" && pwd)
rounds=${2:-3}
seconds=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../scripts/lib.sh"
fail_prefix="bench"
test_source=$build/tests/portal/tintvale_test_source
for f in "$build/bench/tick_bench" "$test_source"; do [ -x "$f" ] || die "$f is not built"; done

log=$(mktemp -d /tmp/tintvale-bench-portal.XXXXXX)
on_exit rm -rf "$log"
# shellcheck source=tests/portal/desktop.sh
source "$here/../tests/portal/desktop.sh"
desktop_env "$log"
# shellcheck disable=SC2119  # start_desktop takes no arguments here
start_desktop

for round in $(seq "$rounds"); do
  TINTVALE_SCREEN=x11 "$build/bench/tick_bench" "$seconds" 2>/dev/null >"$log/x11_$round"
  # The source animates a little longer than the program samples: the program's warm-up and handshake.
  "$test_source" --size 1920x1080 --fps 60 --idle-fps 0 --animate $((seconds + 4)) --moves "$log/moves_$round" \
    </dev/null >"$log/source.out" 2>>"$log/source.err" &
  source_pid=$!
  wait_for 20 grep -q '^ready' "$log/source.out" || die "the test source did not start"
  read -r _ nodes <"$log/source.out"
  place "0 0 1920 1080"
  TINTVALE_SCREEN=portal "$build/bench/tick_bench" "$seconds" --moves "$log/moves_$round" 2>>"$log/tick.err" \
    >"$log/portal_$round"
  stop "$source_pid"
  echo "round $round: x11 $(grep -E '^(tick_paint_us|lag_ms|cpu_percent)' "$log/x11_$round" | tr '\n' ' ')" >&2
  echo "round $round: portal $(grep -E '^(tick_paint_us|lag_ms|cpu_percent)' "$log/portal_$round" | tr '\n' ' ')" >&2
done

stats() {  # median, min, max of the numbers on stdin
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - -"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}
fig() {  # PATH KEY FIELD: median over the rounds of one figure
  awk -v k="$2" -v f="$3" '$1 == k { print $f }' "$log"/"$1"_* | stats
}
fmt() {
  local -a v
  read -r -a v <<<"$1"
  set -- "${v[@]}"
  [ "$1" = - ] && { echo "-"; return; }
  awk -v m="$1" -v lo="$2" -v hi="$3" 'BEGIN { printf "%.1f (%.1f–%.1f)", m, lo, hi }'
}
lagged() { awk '$1 == "lag_unmatched" { print $2 " of " $4 }' "$log"/portal_* | tr '\n' ';'; }

printf '\nTintvale on the screen-cast portal (test source: 1920x1080 at 60 frames a second, pointer at 100 Hz)\n'
printf 'next to the X11 path (Xvfb 1280x800x24 + openbox), %s rounds of %s s; median over rounds (min–max)\n\n' \
  "$rounds" "$seconds"
echo "| Figure | Portal | X11 | Target |"
echo "|---|---|---|---|"
echo "| Per-tick cost, sampling + paint, median µs | $(fmt "$(fig portal tick_paint_us 3)") | $(fmt "$(fig x11 tick_paint_us 3)") | portal ≤ X11 |"
echo "| Per-tick cost, sampling + paint, p90 µs | $(fmt "$(fig portal tick_paint_us 5)") | $(fmt "$(fig x11 tick_paint_us 5)") | |"
echo "| Tick without its repaint, median µs | $(fmt "$(fig portal tick_us 3)") | $(fmt "$(fig x11 tick_us 3)") | |"
echo "| Tick start to pointer read (the event pump included), median µs | $(fmt "$(fig portal tick_to_cursor_us 3)") | $(fmt "$(fig x11 tick_to_cursor_us 3)") | |"
echo "| Pixel read, median µs | $(fmt "$(fig portal tick_pixel_us 3)") | $(fmt "$(fig x11 tick_pixel_us 3)") | |"
echo "| Own CPU, % of a core (all threads) | $(fmt "$(fig portal cpu_percent 2)") | $(fmt "$(fig x11 cpu_percent 2)") | |"
echo "| Pointer-to-swatch lag, median ms | $(fmt "$(fig portal lag_ms 3)") | $(fmt "$(fig x11 lag_ms 3)") | ≤ 12 |"
echo "| Pointer-to-swatch lag, p90 ms | $(fmt "$(fig portal lag_ms 5)") | $(fmt "$(fig x11 lag_ms 5)") | |"
echo "| Swatch changes per second | $(fmt "$(fig portal swatch_changes_per_s 2)") | $(fmt "$(fig x11 swatch_changes_per_s 2)") | |"
echo
echo "Portal moves never painted (skipped): $(lagged)"
echo "Frame-rate cap the program asked the source for (the test source sends 60 a second regardless): $(grep -o 'max [0-9/]* frames' "$log/source.err" | sort | uniq -c | tr '\n' ' ')"
