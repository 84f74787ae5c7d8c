#!/usr/bin/env bash
# Smoke test of a Tintvale program as a user meets it, inside an X session with a window manager (run it
# under scripts/with-x.sh): started with -c, the window "Tintvale" appears; Enter puts the colour under the
# pointer on the clipboard as #RRGGBB; a click on the window's close box ends the program with status 0.
# Usage: smoke-test.sh PROGRAM
set -euo pipefail
program=$1
[ -n "${DISPLAY:-}" ] || { echo "smoke: no DISPLAY; run under scripts/with-x.sh" >&2; exit 2; }

want_color="#0A00AB"   # the root window's colour, where the pointer rests
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../scripts/lib.sh"
fail_prefix="smoke: FAIL"
scratch=$(mktemp -d)
on_exit rm -rf "$scratch"
save_screen() {
  import -silent -window root "$scratch/screen.png" 2>/dev/null && cp "$scratch/screen.png" /tmp/tintvale-smoke-fail.png &&
    echo "smoke: screen saved to /tmp/tintvale-smoke-fail.png"
}
on_die save_screen

# No registry store of the user's or the system's can change what the program does here.
export XDG_CONFIG_HOME=$scratch/config XDG_CONFIG_DIRS=$scratch/config-dirs

xsetroot -solid "$want_color"
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
xdotool mousemove $((screen_w - 3)) $((screen_h - 3))

"$program" -c &
pid=$!
stop_at_exit "$pid"

find_window() {
  gone "$pid" && die "the program ended before its window appeared"
  wid=$(xdotool search --onlyvisible --name '^Tintvale$' 2>/dev/null | head -1)
  [ -n "$wid" ]
}
wid=""
wait_for 30 find_window || die 'the window "Tintvale" did not appear (waited 30s)'
owner=$(xprop -id "$wid" _NET_WM_PID | sed -n 's/.* = //p')
[ "$owner" = "$pid" ] || die "the window \"Tintvale\" belongs to process '$owner', not to $pid"
echo "smoke: window \"Tintvale\" is up (0x$(printf '%x' "$wid"))"

# Client area and frame of the window, for the pointer's resting place and the close box.
info=$(xwininfo -id "$wid")
win_x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
win_y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
win_w=$(sed -n 's/.*Width: *//p' <<<"$info")
IFS=", " read -r _ frame_r frame_t _ < <(xprop -id "$wid" _NET_FRAME_EXTENTS | sed 's/.*= //')
if [ $((win_x + win_w + frame_r)) -ge $((screen_w - 3)) ]; then
  xdotool mousemove 3 $((screen_h - 3))   # the window covers the bottom right corner: use the left one
fi

is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$wid" ]; }
xdotool windowactivate "$wid" 2>/dev/null || true
wait_for 10 is_active || die "the window did not become active (waited 10s)"

# Enter captures the colour of the last sample; until the program has sampled the pointer's new place the
# text may be another colour, so press again until the root's colour arrives.
clip=""
read_clipboard() { clip=$(timeout 3 xclip -o -selection clipboard 2>/dev/null) || clip=""; }
captured_root_color() {
  xdotool key Return
  wait_for 2 read_clipboard_color || return 1
  [ "$clip" = "$want_color" ]
}
read_clipboard_color() { read_clipboard; [[ "$clip" =~ ^#[0-9A-F]{6}$ ]]; }
wait_for 20 captured_root_color ||
  die "Enter with -c did not put $want_color on the clipboard (last text: '$clip')"
read_clipboard
[ "$clip" = "$want_color" ] || die "clipboard holds '$clip', want '$want_color'"
echo "smoke: Enter put $clip on the clipboard"

# The close box is the rightmost title-bar button of the frame.
close_x=$((win_x + win_w + frame_r - frame_t / 2))
close_y=$((win_y - frame_t / 2))
xdotool mousemove "$close_x" "$close_y" click 1
wait_for 15 gone "$pid" || die "the program did not end after a click on the close box at ($close_x,$close_y) (waited 15s)"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || die "the program ended with status $status"
echo "smoke: the close box ended the program (status 0)"
