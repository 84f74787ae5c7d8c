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
warmup=$(( seconds / 6 > 10 ? seconds / 6 : 10 ))
allowed_kib=$(( seconds - warmup > 60 ? (seconds - warmup) * 100 / 60 : 100 ))
out=$(mktemp -d)
on_exit rm -rf "$out"

"$program" -c >"$out/program.log" 2>&1 & prog=$!
stop_at_exit "$prog"
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$prog" | head -1)
[ -n "$window" ] || die "the program showed no window"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true

# The user: one xdotool per second moves the pointer 100 times along a row below the window, 10 ms apart,
# then presses Enter in the focused entry box (a capture, with "-c" onto the clipboard).
(
  end=$((SECONDS + seconds))
  row=700
  while [ $SECONDS -lt $end ]; do
    args=()
    for i in $(seq 0 99); do args+=(mousemove $((40 + i * 12)) $row sleep 0.01); done
    xdotool "${args[@]}" key Return >/dev/null 2>&1 || true
    row=$(( row == 700 ? 720 : 700 ))
  done
) & user=$!
stop_at_exit "$user"

resources() {  # windows GCs fonts pixmaps pictures glyphsets colormaps cursors of the program's client
  xrestop -b -m 1 2>/dev/null | awk -v pid="$prog" '
    /PID:/ { mine = ($0 ~ ("PID: *" pid " ")) }
    mine && /^\t(windows|GCs|fonts|pixmaps|pictures|glyphsets|colormaps|cursors) / { printf "%s ", $3 }
    END { print "" }'
}
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$prog/status" 2>/dev/null; }

echo "time_s rss_kib windows GCs fonts pixmaps pictures glyphsets colormaps cursors" > "$out/record"
start=$SECONDS
next=0
while [ $((SECONDS - start)) -lt "$seconds" ]; do
  kill -0 "$prog" 2>/dev/null || { cat "$out/program.log"; die "the program ended early"; }
  if [ $((SECONDS - start)) -ge $next ]; then
    echo "$((SECONDS - start)) $(rss) $(resources)" >> "$out/record"
    next=$((next + 5))
  fi
  sleep 0.5  # the recording period's resolution, not a wait for anything
done
echo "$((SECONDS - start)) $(rss) $(resources)" >> "$out/record"
stop "$user"
ticks=$(( seconds * 100 ))
# The captures happened and the program still answers: its clipboard holds a captured colour.
clip=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
echo "soak: clipboard after the last capture: '$clip'"
[[ $clip =~ ^#[0-9A-F]{6}$ ]] || die "FAIL (no capture on the clipboard)"

cat "$out/record"
awk -v warm="$warmup" -v allowed="$allowed_kib" -v ticks="$ticks" '
  NR == 1 { for (i = 1; i <= NF; i++) name[i] = $i; next }
  $1 <= warm { for (i = 2; i <= NF; i++) base[i] = $i; have = 1; next }
  { for (i = 2; i <= NF; i++) { last[i] = $i; if ($i > peak[i]) peak[i] = $i } }
  END {
    if (!have) { print "soak: no sample after the warm-up"; exit 1 }
    grow = last[2] - base[2]
    printf "soak: %d ticks; RSS %d KiB after warm-up, %d KiB at the end (%+d KiB, allowed %d, peak %d)\n",
      ticks, base[2], last[2], grow, allowed, peak[2]
    fail = grow > allowed
    res = ""
    for (i = 3; i <= length(name); i++) {
      res = res sprintf(" %s %d->%d", name[i], base[i], last[i])
      if (last[i] > base[i]) fail = 1
    }
    print "soak: X resources" res
    print (fail ? "soak: FAIL" : "soak: pass")
    exit fail
  }' "$out/record"
