#!/usr/bin/env bash
# Smoke test of a Tintvale program as a user meets it, inside an X session with a window manager (run it
# under scripts/with-x.sh): started with -c, the window "Tintvale" appears; Enter puts the colour under the
# pointer on the clipboard as #RRGGBB; a click on the window's close box ends the program with status 0.
# Usage: smoke-test.sh PROGRAM
set -euo pipefail
program=$1
[ -n "${DISPLAY:-}" ] || { echo "smoke: no DISPLAY; run under scripts/with-x.sh" >&2; exit 2; }

want_color="#0A00AB"   # the root window's colour, where the pointer rests
pid=""
scratch=$(mktemp -d)
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "smoke: FAIL: $*"
  import -silent -window root "$scratch/screen.png" 2>/dev/null && cp "$scratch/screen.png" /tmp/tintvale-smoke-fail.png &&
    echo "smoke: screen saved to /tmp/tintvale-smoke-fail.png"
  exit 1
}

# wait_for DESCRIPTION SECONDS COMMAND...: polls COMMAND until it succeeds or the deadline passes.
wait_for() {
  local what=$1 seconds=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt "$deadline" ] || fail "$what (waited ${seconds}s)"
    sleep 0.05
  done
}

# No registry store of the user's or the system's can change what the program does here.
export XDG_CONFIG_HOME=$scratch/config XDG_CONFIG_DIRS=$scratch/config-dirs

xsetroot -solid "$want_color"
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
xdotool mousemove $((screen_w - 3)) $((screen_h - 3))

"$program" -c &
pid=$!

find_window() {
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
  wid=$(xdotool search --onlyvisible --name '^Tintvale$' 2>/dev/null | head -1)
  [ -n "$wid" ]
}
wid=""
wait_for 'the window "Tintvale" did not appear' 30 find_window
owner=$(xprop -id "$wid" _NET_WM_PID | sed -n 's/.* = //p')
[ "$owner" = "$pid" ] || fail "the window \"Tintvale\" belongs to process '$owner', not to $pid"
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
wait_for "the window did not become active" 10 is_active

# Enter captures the colour of the last sample; until the program has sampled the pointer's new place the
# text may be another colour, so press again until the root's colour arrives.
clip=""
read_clipboard() { clip=$(timeout 3 xclip -o -selection clipboard 2>/dev/null) || clip=""; }
captured_root_color() {
  xdotool key Return
  local deadline=$((SECONDS + 2))
  while [ $SECONDS -lt $deadline ]; do
    read_clipboard
    if [[ "$clip" =~ ^#[0-9A-F]{6}$ ]]; then
      [ "$clip" = "$want_color" ] && return 0
      break
    fi
    sleep 0.05
  done
  return 1
}
deadline=$((SECONDS + 20))
until captured_root_color; do
  [ $SECONDS -lt $deadline ] || fail "Enter with -c did not put $want_color on the clipboard (last text: '$clip')"
done
read_clipboard
[ "$clip" = "$want_color" ] || fail "clipboard holds '$clip', want '$want_color'"
echo "smoke: Enter put $clip on the clipboard"

# The close box is the rightmost title-bar button of the frame.
close_x=$((win_x + win_w + frame_r - frame_t / 2))
close_y=$((win_y - frame_t / 2))
xdotool mousemove "$close_x" "$close_y" click 1
ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_for "the program did not end after a click on the close box at ($close_x,$close_y)" 15 ended
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "smoke: the close box ended the program (status 0)"
