#!/usr/bin/env bash
# Soak of the Windows build under wine64: runs the real program with "-c" for SECONDS (default 600, i.e.
# 60 000 ticks of 10 ms) in a private Xvfb + openbox, the pointer moving at about 100 Hz and Enter pressed
# once a second, and every 5 s records its working set and GDI and USER object counts (GetGuiResources,
# read from outside by tintvale_gui_resources), the windows it owns, the live entries of its GDI handle
# table and the Linux RSS of its process. Passes when, after a warm-up of the first sixth of the run (at
# least 10 s), the working set and the RSS grow by at most 1 MB per 10 minutes (pro rata, never less than
# 100 KiB) and no count ends higher than at the end of the warm-up. Wine 8 answers GetGuiResources with 0
# and "not implemented": those columns then show -1, the GDI handle table stands for the GDI objects and
# the window count for the USER objects.
# Usage: scripts/soak-wine.sh [SECONDS]   (builds build/winbench; its own Wine prefix there)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
fail_prefix=soak-wine
build=build/winbench

if [ "${1:-}" != --inside ]; then
  toolchain=()
  [ -f "$build/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake)
  cmake -S . -B "$build" -G Ninja "${toolchain[@]}" -DTINTVALE_BACKEND=win32 -DCMAKE_BUILD_TYPE=Release \
    -DTINTVALE_WERROR=ON -DTINTVALE_BENCH=ON >/dev/null
  cmake --build "$build" -j 2 --target tintvale tintvale_gui_resources >/dev/null
  exec scripts/with-x.sh "$0" --inside "${1:-600}"
fi

seconds=$2
warmup=$(( seconds / 6 > 10 ? seconds / 6 : 10 ))
allowed_kib=$(( seconds - warmup > 60 ? (seconds - warmup) * 100 / 60 : 100 ))
# A prefix of its own: a wineserver serves one prefix, and another run's server may be on another display.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:-err+all,fixme-all}
out=$(mktemp -d)
on_exit rm -rf "$out"
wine_start
gui_resources=$build/bench/win32/tintvale_gui_resources.exe
# The GDI table count must see objects come and go before its figures mean anything.
"$TINTVALE_WINE" "$gui_resources" --self </dev/null | tr -d '\r' ||
  die "FAIL (the GDI handle table count does not follow 50 brushes)"

"$TINTVALE_WINE" "$build/tintvale.exe" -c </dev/null >/dev/null 2>"$out/program.log" & prog=$!
stop_at_exit "$prog"
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$prog" --name '^Tintvale$' | head -1)
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

# working_set_kib gdi user windows gdi_table of the program, as Windows reports them.
objects() {
  "$TINTVALE_WINE" "$gui_resources" -w TintvaleForm Tintvale </dev/null 2>>"$out/program.log" |
    tr -d '\r' | awk '{ print $4, $6, $8, $10, $12 }'
}
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$prog/status" 2>/dev/null; }

echo "time_s working_set_kib rss_kib gdi user windows gdi_table" > "$out/record"
start=$SECONDS
next=0
record() {
  local o
  o=$(objects)
  [ -n "$o" ] || { cat "$out/program.log"; die "no reading of the program's objects"; }
  set -- $o
  echo "$((SECONDS - start)) $1 $(rss) $2 $3 $4 $5" >> "$out/record"
}
while [ $((SECONDS - start)) -lt "$seconds" ]; do
  kill -0 "$prog" 2>/dev/null || { cat "$out/program.log"; die "the program ended early"; }
  if [ $((SECONDS - start)) -ge $next ]; then
    record
    next=$((next + 5))
  fi
  sleep 0.5  # the recording period's resolution, not a wait for anything
done
record
stop "$user"
ticks=$(( seconds * 100 ))
# The captures happened and the program still answers: the clipboard holds a captured colour.
clip=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
echo "soak-wine: clipboard after the last capture: '$clip'"
[[ $clip =~ ^#[0-9A-F]{6}$ ]] || die "FAIL (no capture on the clipboard)"
if grep -E 'err:.*(exception|fault|crash|stack overflow)' "$out/program.log"; then
  die "FAIL (Wine reported a crash)"
fi

cat "$out/record"
awk -v warm="$warmup" -v allowed="$allowed_kib" -v ticks="$ticks" '
  NR == 1 { for (i = 1; i <= NF; i++) name[i] = $i; next }
  $1 <= warm { for (i = 2; i <= NF; i++) base[i] = $i; have = 1; next }
  { for (i = 2; i <= NF; i++) { last[i] = $i; if ($i > peak[i]) peak[i] = $i } }
  END {
    if (!have) { print "soak-wine: no sample after the warm-up"; exit 1 }
    fail = 0
    for (i = 2; i <= 3; i++) {
      grow = last[i] - base[i]
      printf "soak-wine: %d ticks; %s %d after warm-up, %d at the end (%+d KiB, allowed %d, peak %d)\n",
        ticks, name[i], base[i], last[i], grow, allowed, peak[i]
      if (grow > allowed) fail = 1
    }
    res = ""
    for (i = 4; i <= length(name); i++) {
      res = res sprintf(" %s %d->%d", name[i], base[i], last[i])
      if (last[i] > base[i]) fail = 1
    }
    print "soak-wine: objects" res
    print (fail ? "soak-wine: FAIL" : "soak-wine: pass")
    exit fail
  }' "$out/record"
