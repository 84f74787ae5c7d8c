# shellcheck shell=bash
# shellcheck disable=SC2154  # $prog, $tmp and $send_close come from the test that sources this file
# Sourced by the black-box tests of the Linux program after scripts/lib.sh: the program's windows found by
# their exact title, the close box with its exit status, and captures read from the clipboard. Expects
# $prog, $tmp, $send_close and a main_window function; sets $pid (the program) and $wid (its main window).

# xdotool's name patterns do not match Japanese text reliably: compare _NET_WM_NAME exactly instead.
windows_titled() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$pid" --name . 2>/dev/null); do
    [ "$(xprop -id "$w" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ] && echo "$w"
  done
}
# Starts the program with these arguments, its stderr in $tmp/stderr, and waits for its main window.
launch() {
  "$prog" "$@" 2>"$tmp/stderr" &
  pid=$!
  stop_at_exit "$pid"
  wait_for 20 has_main_window || die "the main window did not appear"
  wid=$(main_window)
}
has_main_window() { [ -n "$(main_window)" ]; }
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
exited() { gone "$pid"; }

# Ends the program through its close box and checks the exit status.
close_and_expect_status_0() {
  "$send_close" "$wid" || die "could not send the close request"
  wait_for 20 exited || die "the program did not end after the close box"
  wait "$pid"; local rc=$?
  pid=""
  [ "$rc" -eq 0 ] || die "exit status $rc after the close box"
}

clipboard_is() { [ "$(xclip -o -selection clipboard 2>/dev/null; echo .)" = "$1." ]; }

# Enter until the capture on the clipboard is the expected text: the first ticks after the pointer
# moved may still hold the old pixel.
press_enter_until_clipboard() { xdotool key Return; wait_for 1 clipboard_is "$1"; }
capture_until_clipboard() {
  clipboard_is "$1" || wait_for 20 press_enter_until_clipboard "$1" ||
    die "clipboard holds '$(xclip -o -selection clipboard 2>/dev/null)', expected '$1'"
}
