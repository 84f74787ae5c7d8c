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
  cmake --preset winbench >/dev/null
  cmake --build --preset winbench -j 2 --target tintvale tintvale_gui_resources >/dev/null
  exec scripts/with-x.sh "$0" --inside "${1:-600}"
fi

seconds=$2
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
on_die cat "$out/program.log"
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$prog" --name '^Tintvale$' | head -1)
[ -n "$window" ] || die "the program showed no window"
# The user's Enter goes to the focused window: the soak starts once the program's is active.
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
wait_for 10 active || die "the program's window did not become active"

soak_user "$seconds" & user=$!
stop_at_exit "$user"

# working_set_kib gdi user windows gdi_table of the program, as Windows reports them.
objects() {
  "$TINTVALE_WINE" "$gui_resources" -w TintvaleForm Tintvale </dev/null 2>>"$out/program.log" |
    tr -d '\r' | awk '{ print $4, $6, $8, $10, $12 }'
}

echo "time_s working_set_kib rss_kib gdi user windows gdi_table" > "$out/record"
record() {
  local elapsed=$1 o
  o=$(objects)
  [ -n "$o" ] || die "no reading of the program's objects"
  local -a v
  read -r -a v <<<"$o"
  set -- "${v[@]}"
  echo "$elapsed $1 $(rss_kib "$prog") $2 $3 $4 $5" >> "$out/record"
}
record_while "$prog" "$seconds" record
stop "$user"
# The captures happened and the program still answers: the clipboard holds a captured colour.
clip=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
echo "soak-wine: clipboard after the last capture: '$clip'"
[[ $clip =~ ^#[0-9A-F]{6}$ ]] || die "FAIL (no capture on the clipboard)"
if grep -E 'err:.*(exception|fault|crash|stack overflow)' "$out/program.log"; then
  die "FAIL (Wine reported a crash)"
fi

cat "$out/record"
soak_verdict soak-wine "$out/record" "$seconds" 2 "objects"
