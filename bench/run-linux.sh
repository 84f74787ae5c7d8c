#!/usr/bin/env bash
# Takes Tintvale's Linux figures inside a running X server (scripts/bench.sh starts one) and prints the
# table. Usage: bench/run-linux.sh BUILD_DIR [ROUNDS] [SECONDS]
# CPU is utime+stime from /proc/PID/stat (all threads) over SECONDS of sampling at 100 Hz with the pointer
# moving at 100 Hz over a striped root; the X server's share of a sampler is the server's CPU in that
# window minus its CPU with the pointer mover alone, measured in the same round.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../scripts/lib.sh"
fail_prefix=bench
build=$(cd "$1" && pwd)
rounds=${2:-3}
seconds=${3:-10}
tools=$build/bench
program=$build/tintvale
hz=$(getconf CLK_TCK)
[ -x "$program" ] || die "$program is not built"

cpu_ticks() {  # utime + stime of a process, all its threads
  local s
  s=$(cat "/proc/$1/stat") || { echo 0; return; }
  s=${s##*) }
  local -a field
  read -r -a field <<<"$s"
  echo $(( field[11] + field[12] ))
}
sched_ns() {  # time on a CPU in ns, summed over the process's threads (finer than clock ticks)
  local sum=0 t v
  for t in /proc/"$1"/task/*/schedstat; do read -r v _ < "$t" && sum=$((sum + v)); done
  echo $sum
}
pct() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }
pct_ns() { awk -v n="$1" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * n / 1e9 / s }'; }
stats() {  # median, min, max of the numbers on stdin
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - -"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}

xserver=""
for p in /proc/[0-9]*; do
  if { tr '\0' ' ' < "$p/cmdline"; } 2>/dev/null | grep -Eq "^Xvfb $DISPLAY( |$)"; then xserver=${p#/proc/}; break; fi
done
[ -n "$xserver" ] || die "no Xvfb for $DISPLAY"

have_gpick=0; command -v gpick >/dev/null && have_gpick=1
have_gcolor3=0; command -v gcolor3 >/dev/null && have_gcolor3=1

"$tools/pointer_mover" 0 >/dev/null

# Waits until a process has a visible window (deadline 20 s).
wait_window() { timeout 20 xdotool search --sync --onlyvisible --pid "$1" >/dev/null; }

# One measured window: the pointer moving, CPU of PID and of the X server over $seconds.
# Prints "process_ticks xserver_ticks process_ns xserver_ns".
measure() {
  local pid=$1 mover a b xa xb na nb xna xnb
  "$tools/pointer_mover" $((seconds + 2)) >/dev/null & mover=$!
  sleep 0.5  # the mover settles into its period
  a=$(cpu_ticks "$pid"); xa=$(cpu_ticks "$xserver"); na=$(sched_ns "$pid"); xna=$(sched_ns "$xserver")
  sleep "$seconds"  # the measured interval itself
  b=$(cpu_ticks "$pid"); xb=$(cpu_ticks "$xserver"); nb=$(sched_ns "$pid"); xnb=$(sched_ns "$xserver")
  wait "$mover"
  echo "$((b - a)) $((xb - xa)) $((nb - na)) $((xnb - xna))"
}

log=$(mktemp -d)
on_exit rm -rf "$log"

for round in $(seq "$rounds"); do
  # The X server with the mover alone: what every sampler's share is counted from.
  sleep 300 & idle=$!; stop_at_exit "$idle"
  read -r _ x0 _ xn0 < <(measure "$idle"); stop "$idle"

  "$tools/xcb_floor" timer $((seconds + 4)) >/dev/null & floor=$!; stop_at_exit "$floor"
  read -r f xf fn xfn < <(measure "$floor"); stop "$floor"

  "$program" >/dev/null 2>&1 & ours=$!; stop_at_exit "$ours"
  wait_window "$ours"
  read -r o xo on xon < <(measure "$ours"); stop "$ours"

  g=- xg=- gn=- xgn=-
  if [ $have_gpick = 1 ]; then
    gpick >/dev/null 2>&1 & gp=$!; stop_at_exit "$gp"
    wait_window "$gp"
    read -r g xg gn xgn < <(measure "$gp"); stop "$gp"
  fi
  echo "$round $x0 $f $xf $o $xo $g $xg $xn0 $fn $xfn $on $xon $gn $xgn" >> "$log/cpu"
  echo "cpu round $round (ticks of 1/$hz s over ${seconds}s): xserver-alone $x0 floor $f/$xf ours $o/$xo gpick $g/$xg" >&2
done

# Per round: percentages and ratios; then the median and range over the rounds.
while read -r _ x0 f xf o xo g xg xn0 fn xfn on xon _ _; do
  echo "$(pct "$f") $(pct $((xf - x0))) $(pct "$o") $(pct $((xo - x0))) \
$(awk -v a="$o" -v b="$f" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }') \
$(awk -v a="$((xo - x0))" -v b="$((xf - x0))" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }') \
$(pct_ns "$fn") $(pct_ns $((xfn - xn0))) $(pct_ns "$on") $(pct_ns $((xon - xn0))) \
$( [ "$g" = - ] && echo "- -" || echo "$(pct "$g") $(pct $((xg - x0)))" )"
done < "$log/cpu" > "$log/cpu_pct"
col() { awk -v c="$1" '$c != "-" { print $c }' "$log/cpu_pct" | stats; }
fmt() {  # "median (min–max)", one decimal
  local -a v
  read -r -a v <<<"$1"
  set -- "${v[@]}"
  [ "$1" = - ] && { echo "-"; return; }
  awk -v m="$1" -v lo="$2" -v hi="$3" 'BEGIN { printf "%.1f (%.1f–%.1f)", m, lo, hi }'
}

# Start-up: exec to the first window mapped and RSS after 3 s idle; a warm-up run first, then 5.
startup() {
  local name=$1; shift
  "$tools/launch_watch" 0 "$@" >/dev/null 2>&1 || true
  for i in 1 2 3 4 5; do "$tools/launch_watch" 3 "$@" 2>/dev/null; done > "$log/start_$name"
  echo "startup $name: $(tr '\n' ' ' < "$log/start_$name")" >&2
}
startup ours "$program"
startup qt_hello "$tools/qt_hello"
[ $have_gcolor3 = 1 ] && startup gcolor3 gcolor3
[ $have_gpick = 1 ] && startup gpick gpick
start_ms() { [ -f "$log/start_$1" ] && awk '{ print $2 }' "$log/start_$1" | stats || echo "- - -"; }
start_mb() { [ -f "$log/start_$1" ] && awk '{ printf "%.1f\n", $4 / 1024 }' "$log/start_$1" | stats || echo "- - -"; }

# The tick, next to the floor in the same process and run.
for round in $(seq "$rounds"); do
  "$tools/tick_bench" "$seconds" 2>/dev/null > "$log/tick_$round"
  echo "tick round $round: $(grep -E '^(floor_us|tick_paint_us|lag_ms)' "$log/tick_$round" | tr '\n' ' ')" >&2
done
tick() {  # median over rounds of field $3 of line $1 (2: median, 4: p90)
  awk -v k="$1" -v f="$2" '$1 == k { print $f }' "$log"/tick_* | stats
}
ratio_rounds() {  # tick_paint_us median over the median of floor line $1
  for f in "$log"/tick_*; do
    awk -v k="$1" '$1 == k { fl = $3 } $1 == "tick_paint_us" { t = $3 } END { printf "%.2f\n", t / fl }' "$f"
  done | stats
}

printf '\nTintvale on Linux/X11 (Xvfb 1280x800x24 + openbox), %s rounds; median over rounds (min–max)\n\n' "$rounds"
echo "| Figure | Tintvale | Reference | Target |"
echo "|---|---|---|---|"
echo "| Per-tick cost, sampling + paint, median µs | $(fmt "$(tick tick_paint_us 3)") | xcb floor $(fmt "$(tick floor_us 3)") | |"
echo "| Per-tick cost, sampling + paint, p90 µs | $(fmt "$(tick tick_paint_us 5)") | xcb floor $(fmt "$(tick floor_us 5)") | |"
echo "| Per-tick cost ratio to the floor (medians) | $(fmt "$(ratio_rounds floor_us)") | | ≤ 1.2 |"
echo "| Floor on a 10 ms timer (wakes from sleep as a tick does), median / p90 µs | | $(fmt "$(tick floor_timer_us 3)") / $(fmt "$(tick floor_timer_us 5)") | |"
echo "| Per-tick cost ratio to the floor on a timer | $(fmt "$(ratio_rounds floor_timer_us)") | | |"
echo "| Tick without its repaint, median µs | $(fmt "$(tick tick_us 3)") | | |"
echo "| CPU time per tick, µs (all threads but the mover) | $(fmt "$(tick cpu_us_per_tick 2)") | | |"
echo "| Pointer-to-swatch lag, median ms | $(fmt "$(tick lag_ms 3)") | | ≤ 12 |"
echo "| Pointer-to-swatch lag, p90 ms | $(fmt "$(tick lag_ms 5)") | | |"
echo "| Swatch updates per second | $(fmt "$(tick swatch_changes_per_s 2)") | | ≥ 95 |"
echo "| CPU at 100 Hz, own process, % of a core | $(fmt "$(col 3)") | bare sampler $(fmt "$(col 1)")$( [ $have_gpick = 1 ] && echo "; gpick (30 Hz) $(fmt "$(col 11)")") | ≤ 1.5× sampler |"
echo "| CPU ratio to the bare sampler | $(fmt "$(col 5)") | | ≤ 1.5 |"
echo "| X server's share, % of a core | $(fmt "$(col 4)") | with the sampler $(fmt "$(col 2)")$( [ $have_gpick = 1 ] && echo "; with gpick $(fmt "$(col 12)")") | ≤ 2× sampler's |"
echo "| X server share ratio | $(fmt "$(col 6)") | | ≤ 2 |"
echo "| Start-up, exec to window mapped, ms (median of 5) | $(fmt "$(start_ms ours)") | bare Qt window $(fmt "$(start_ms qt_hello)"); gcolor3 $(fmt "$(start_ms gcolor3)"); gpick $(fmt "$(start_ms gpick)") | ≤ 100 |"
echo "| RSS after 3 s idle, MiB | $(fmt "$(start_mb ours)") | bare Qt window $(fmt "$(start_mb qt_hello)"); gcolor3 $(fmt "$(start_mb gcolor3)"); gpick $(fmt "$(start_mb gpick)") | ≤ 35 |"
echo
echo "CPU cross-check from /proc/PID/task/*/schedstat (ns): ours $(fmt "$(col 9)") %, sampler $(fmt "$(col 7)") %, X share with ours $(fmt "$(col 10)") %, with the sampler $(fmt "$(col 8)") %"
