# shellcheck shell=bash
# Sourced by the Windows black-box tests as `source probe.sh PROBE.EXE`, inside scripts/with-x.sh: Wine
# from scripts/lib.sh, $log for Wine's messages, and the program's windows read through the probe
# (probe.cpp) and the X clipboard.
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
probe_exe=$1
[ -n "${DISPLAY:-}" ] || die "needs an X display (run it through scripts/with-x.sh)"
wine_start
log=$(mktemp)
on_exit rm -f "$log"

probe() { "$TINTVALE_WINE" "$probe_exe" "$@" 2>>"$log" | tr -d '\r'; }
entry_text() { probe texts Tintvale | awk '$1 == "Edit" && $2 == 1003 { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }
entry_is() { [ "$(entry_text)" = "$1" ]; }
# The coordinate box shows x and y apart (the tab between them is shown as a wide space).
coordinates_are() { probe texts Tintvale | grep -Eq "^Edit 1002 $1[^0-9-]+$2\$"; }
clipboard_is() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }

# A Wine window of colour RRGGBB under the pointer's places (600,400, 200x200); stopped at exit.
probe_paint() {
  "$TINTVALE_WINE" "$probe_exe" paint "$1" 600 400 200 200 </dev/null >/dev/null 2>>"$log" &
  stop_at_exit "$!"
  wait_for 10 xdotool search --name '^probe paint$' >/dev/null 2>&1
}

# Wine's log shows a crash of any program the test ran.
wine_crashed() { grep -E 'err:.*(exception|fault|crash|stack overflow)' "$log"; }
