#!/usr/bin/env bash
# Tintvale's Windows program with "-c" while another program holds the clipboard open: Enter still writes
# the colour into the entry box while the clipboard is held, sampling goes on, the window answers, and
# once the clipboard is free again the next capture reaches it.
# Usage (inside scripts/with-x.sh): clipboard_holder.sh TINTVALE.EXE PROBE.EXE CLIP_HOLDER.EXE
set -euo pipefail
exe=$1 probe=$2 holder=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/wine/probe.sh
source "$here/probe.sh" "$probe"

held=$(mktemp)
release=$(mktemp -u)
on_exit rm -f "$held" "$release"

holder_says() { grep -q "$1" "$held"; }

# A window of a known colour under the pointer.
probe_paint 2080E0 || fail "no colour window"

# No inherited pipe may outlive the test: ctest waits for every holder of its output to close it.
"$TINTVALE_WINE" "$exe" -c </dev/null >/dev/null 2>>"$log" &
app=$!
stop_at_exit "$app"
wait_for 15 xdotool search --all --onlyvisible --pid "$app" --name '^Tintvale$' >/dev/null 2>&1 || die "no window"
main_x=$(xdotool search --all --onlyvisible --pid "$app" --name '^Tintvale$' | head -1)
printf 'stale' | xclip -i -selection clipboard >/dev/null 2>&1
xdotool mousemove 700 500
wait_for 10 coordinates_are 700 500 || fail "coordinates not followed before the hold"

# The holder keeps the clipboard until told to let go (at most 20 s): everything below up to the release
# happens inside the hold, however slowly the machine runs.
"$TINTVALE_WINE" "$holder" 20 "Z:${release//\//\\}" </dev/null >"$held" 2>>"$log" &
hold=$!
stop_at_exit "$hold"
wait_for 10 holder_says held || fail "the holder did not get the clipboard: $(cat "$held")"

xdotool windowactivate --sync "$main_x" key Return
if wait_for 5 entry_is '#2080E0'; then
  ! gone "$hold" && ! holder_says released && pass "capture completes while the clipboard is held" ||
    fail "the capture completed only after the holder let go: the hold was not tested"
else
  fail "entry box after Enter under the hold: '$(entry_text)'"
fi
xdotool mousemove 650 450
wait_for 5 coordinates_are 650 450 && pass "sampling goes on after the capture" || fail "coordinates stopped"
! gone "$hold" || fail "the holder ended before the checks under the hold were done"

touch "$release"
wait_for 15 gone "$hold" && holder_says released || fail "the holder did not release the clipboard"
clipboard_is stale && pass "the held clipboard kept its text" ||
  fail "clipboard changed under the hold: '$(xclip -o -selection clipboard 2>/dev/null)'"

# Free again: the next capture reaches the clipboard.
xdotool mousemove 700 500
wait_for 5 coordinates_are 700 500 || fail "coordinates not followed after the release"
xdotool windowactivate --sync "$main_x" key Return
wait_for 5 clipboard_is '#2080E0' && pass "the capture after the release reaches the clipboard" ||
  fail "clipboard after the release: '$(xclip -o -selection clipboard 2>/dev/null)'"

xdotool windowactivate --sync "$main_x" key --clearmodifiers alt+F4
wait_for 10 gone "$app" && pass "the program ends on close" || fail "process still running after close"

if wine_crashed; then
  fail "Wine reported a crash"
fi
echo "clipboard_holder: $failures failure(s)"
[ "$failures" -eq 0 ]
