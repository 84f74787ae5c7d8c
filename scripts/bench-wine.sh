#!/usr/bin/env bash
# The Windows per-tick figures: builds the 64-bit Windows benchmark (build/winbench) and runs it under
# wine64 in a private Xvfb + openbox: the real program's tick next to a bare GetCursorPos + GetPixel loop
# on GetDC(NULL), median and p90 in microseconds, and their ratio.
# Usage: scripts/bench-wine.sh [SECONDS]   (default 10; its own Wine prefix under build/winbench)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
build=build/winbench

if [ "${1:-}" != --inside ]; then
  cmake --preset winbench >/dev/null
  cmake --build --preset winbench -j 2 --target tintvale_tick_bench >/dev/null
  exec scripts/with-x.sh "$0" --inside "${1:-10}"
fi

seconds=$2
# A prefix of its own: a wineserver serves one prefix, and another run's server may be on another display.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:-err+all,fixme-all}
wine_start
echo "Wine per-tick cost ($("$TINTVALE_WINE" --version), Xvfb 1280x800x24 + openbox, $seconds s after 1 s warm-up)"
"$TINTVALE_WINE" "$build/bench/win32/tintvale_tick_bench.exe" "$seconds" </dev/null | tr -d '\r'
