#!/usr/bin/env bash
# The real program on the screen-cast portal, without a desktop: a private session bus
# (scripts/with-bus.sh) with the real PipeWire, WirePlumber and /usr/libexec/xdg-desktop-portal, our test
# ScreenCast backend (test_backend.py, loaded through XDG_DESKTOP_PORTAL_DIR and XDG_CURRENT_DESKTOP=test)
# and our test PipeWire source. The program's window is on the X display the tests run on.
# Usage: portal_test.sh CASE TINTVALE TEST_SOURCE SEND_CLOSE PROGRAM_TESTS   (77 = skipped)
set -uo pipefail
case_name=$1
prog=$2
test_source=$3
send_close=$4
program_tests=$5
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${TINTVALE_PORTAL_BUS:-}" ]; then
  for tool in dbus-run-session dbus-send pipewire wireplumber pw-cli /usr/libexec/xdg-desktop-portal xdotool xclip xprop; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is needed" >&2; exit 77; }
  done
  /usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || { echo "SKIP: python3-dbus and python3-gi are needed" >&2; exit 77; }
  [ -n "${DISPLAY:-}" ] && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || {
    echo "SKIP: needs an X display with a window manager" >&2; exit 77; }
  # A bus of its own that can start only what the case stages: without the frontend's permission store
  # nothing is activated, so no installed desktop's portal can answer in the place of ours.
  services=()
  [ "$case_name" = no_portal ] || services+=(org.freedesktop.impl.portal.PermissionStore=/usr/libexec/xdg-permission-store)
  TINTVALE_PORTAL_BUS=1 exec "$here/../../scripts/with-bus.sh" "${services[@]}" -- "$0" "$@"
fi

# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"
fail_prefix="FAIL [$case_name]"
# shellcheck source=tests/qt/window_checks.sh
source "$here/../qt/window_checks.sh"

tmp=$(mktemp -d /tmp/tintvale-portal.XXXXXX)
on_exit rm -rf "$tmp"
show_logs() {
  local f
  for f in "$tmp"/stderr "$tmp"/source.err "$tmp"/portal/calls.log "$tmp"/frontend.log; do
    [ -s "$f" ] && sed "s|^|  ${f##*/}: |" "$f" >&2
  done
}
on_die show_logs

# shellcheck source=tests/portal/desktop.sh
source "$here/desktop.sh"
desktop_env "$tmp"

# Windows titled Tintvale: the main window has a client area of 282 x 60, a message box has not.
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
main_window() { local w; for w in $(windows_titled Tintvale); do [ "$(size_of "$w")" = 282x60 ] && echo "$w"; done | head -n1; }
message_box() { local w; for w in $(windows_titled Tintvale); do [ "$(size_of "$w")" != 282x60 ] && echo "$w"; done | head -n1; }
has_message_box() { [ -n "$(message_box)" ]; }

pid=""
start() {
  launch "$@"
  activate_main
}
# Asked again until it holds: a message box that appears meanwhile takes the focus.
activate_once() { xdotool windowactivate "$wid" >/dev/null 2>&1; wait_for 0.5 active_is "$wid"; }
activate_main() { wait_for 10 activate_once || die "the main window did not become active"; }
count_calls() { local n; n=$(grep -c "\"call\": \"$1\"" "$calls" 2>/dev/null) || true; echo "${n:-0}"; }
calls_at_least() { [ "$(count_calls "$1")" -ge "$2" ]; }
stderr_has() { grep -q -- "$1" "$tmp/stderr"; }

# One monitor with a known colour and the pointer on it: the capture reads the colour through the portal.
# Usage: start_live [FORMAT [SOURCE OPTIONS...]]
start_live() {
  start_desktop
  start_source --size 320x240 --format "${1:-BGRx}" "${@:2}"
  place "0 0 320 240"
  say "fill 0 0A00AB"
  say "rect 0 100 100 20 20 12A5C3"
  say "cursor 0 105 110"
  start -c
  capture_until_clipboard '#12A5C3'
}

# A fallback: the message box, one English line, X11 reading (the root's colour), the window usable.
expect_fallback() {
  local line=$1
  wait_for 20 has_message_box || die "no message box titled Tintvale appeared"
  wait_for 5 stderr_has "$line" || die "stderr does not say '$line'"
  [ "$(grep -c . "$tmp/stderr")" -eq 1 ] || die "expected one line on stderr"
  xsetroot -solid '#0A00AB'
  xdotool mousemove 20 30
  activate_main
  capture_until_clipboard '#0A00AB'
}

case $case_name in
  live_follows_pointer)
    # Two monitors: the primary (RGBx frames) and one on its left at scale 2. The in-process program reads
    # its own coordinate text and swatch back.
    start_desktop
    start_source --size 320x240 --size 320x240 --format RGBx
    place "0 0 320 240" "-160 0 160 120"
    TINTVALE_TEST_SOURCE_INPUT=$tmp/source.in "$program_tests" --gtest_filter='PortalProgram.*' 2>"$tmp/stderr" ||
      die "the in-process program tests failed"
    ;;

  capture_under_pointer)
    # KWin's cursor metadata size (the other cases offer mutter's).
    start_live xBGR --cursor-meta kwin
    # The pointer moves, the colour under a still pointer changes: each is followed.
    say "cursor 0 5 5"
    capture_until_clipboard '#0A00AB'
    say "fill 0 00FF7F"
    capture_until_clipboard '#00FF7F'
    close_and_expect_status_0
    wait_for 10 calls_at_least Close 1 || die "the portal session was not closed"
    ;;

  token_stored_and_offered)
    start_live
    [ -f "$token_file" ] || die "no token stored in $token_file"
    [ "$(stat -c %a "$token_file")" = 600 ] || die "token file mode $(stat -c %a "$token_file")"
    [ "$(stat -c %a "${token_file%/*}")" = 700 ] || die "token folder mode $(stat -c %a "${token_file%/*}")"
    first=$(cat "$token_file")
    grep -Eq '^[0-9a-f-]{36}$' <<<"$first" || die "token file holds '$first'"
    grep -q restore_data "$calls" && die "the first start offered restore data"
    close_and_expect_status_0
    # The next start offers it: the frontend turns it into the desktop's restore data.
    start -c
    wait_for 20 calls_at_least Start 2 || die "no second start"
    [ "$(grep '"SelectSources"' "$calls" | tail -n1 | grep -c restore_data)" -eq 1 ] || die "the token was not offered"
    grep -Eq '^[0-9a-f-]{36}$' "$token_file" || die "no token kept after the second start"
    close_and_expect_status_0
    ;;

  token_refused)
    start_live
    first=$(cat "$token_file")
    close_and_expect_status_0
    echo refuse-token >"$TINTVALE_PORTAL_DIR/mode"
    : >"$calls"
    start -c
    say "fill 0 336699"
    capture_until_clipboard '#336699'
    [ "$(count_calls CreateSession)" -eq 2 ] || die "expected a second session after the refusal"
    [ "$(grep '"SelectSources"' "$calls" | tail -n1 | grep -c restore_data)" -eq 0 ] ||
      die "the refused token was offered again"
    [ -f "$token_file" ] && [ "$(cat "$token_file")" != "$first" ] || die "the new token was not stored"
    [ -s "$tmp/stderr" ] && die "unexpected output: $(cat "$tmp/stderr")"
    close_and_expect_status_0
    ;;

  corrupt_token)
    mkdir -p "${token_file%/*}"
    printf 'not a token\n' >"$token_file"
    start_live
    [ "$(count_calls CreateSession)" -eq 1 ] || die "a corrupt token cost a session"
    grep -q restore_data "$calls" && die "restore data for a corrupt token"
    grep -Eq '^[0-9a-f-]{36}$' "$token_file" || die "the corrupt file was not replaced by a token"
    close_and_expect_status_0
    ;;

  cancelled)
    start_desktop
    echo cancel >"$TINTVALE_PORTAL_DIR/mode"
    start -c
    expect_fallback "not allowed"
    close_and_expect_status_0
    ;;

  no_portal)
    # PipeWire is there, but no screen-cast portal answers on the bus.
    start_desktop bare
    export XDG_CURRENT_DESKTOP=none
    start -c
    expect_fallback "not available"
    close_and_expect_status_0
    ;;

  no_metadata)
    touch "$TINTVALE_PORTAL_DIR/no-metadata"
    start_desktop
    start -c
    expect_fallback "GNOME and KDE Plasma"
    [ "$(count_calls CreateSession)" -eq 0 ] || die "a session was started without cursor metadata"
    close_and_expect_status_0
    ;;

  primary_origin | kde_placement)
    # XWayland's monitors as GNOME and KDE lay them out: a 160x240 monitor left of the 320x240 primary,
    # which therefore starts at x = 160. Stream 0 is the left one: portal order is not monitor order.
    # GNOME gives each stream its place; KDE gives none, and the streams are placed by their size.
    command -v xrandr >/dev/null || { echo "SKIP: xrandr is needed" >&2; exit 77; }
    start_x 480x240x24 141 190
    xrandr --setmonitor tintvale-left 160/42x240/63+0+0 none >/dev/null
    xrandr --setmonitor '*tintvale-primary' 320/85x240/63+160+0 screen >/dev/null
    xrandr --output screen --primary
    start_desktop
    start_source --size 160x240 --size 320x240
    if [ "$case_name" = primary_origin ]; then place "0 0 160 240" "160 0 320 240"; else place "- - 160 240" "- - 320 240"; fi
    TINTVALE_TEST_SOURCE_INPUT=$tmp/source.in "$program_tests" --gtest_filter='PrimaryOrigin.*' 2>"$tmp/stderr" ||
      die "the in-process program tests failed"
    ;;

  kde_identical)
    # Two monitors of one size, the streams without positions (KDE): told apart where the X server sees
    # the pointer over a window.
    command -v xrandr >/dev/null || { echo "SKIP: xrandr is needed" >&2; exit 77; }
    start_x 480x240x24 141 190
    xrandr --setmonitor tintvale-a 240/63x240/63+0+0 none >/dev/null
    xrandr --setmonitor '*tintvale-b' 240/63x240/63+240+0 screen >/dev/null
    xrandr --output screen --primary
    start_desktop
    start_source --size 240x240 --size 240x240
    place "- - 240 240" "- - 240 240"
    TINTVALE_TEST_SOURCE_INPUT=$tmp/source.in "$program_tests" --gtest_filter='IdenticalMonitors.*' 2>"$tmp/stderr" ||
      die "the in-process program tests failed"
    ;;

  no_cursor_meta)
    # The portal lists cursor metadata, but the negotiated buffers carry none (as when the sizes the two
    # sides offer do not meet): the same fallback as a desktop without it.
    start_desktop
    start_source --size 320x240 --cursor-meta none
    place "0 0 320 240"
    say "fill 0 5A5A5A"
    say "cursor 0 10 10"
    start -c
    expect_fallback "carry no cursor metadata"
    stderr_has "GNOME and KDE Plasma" || die "stderr does not name the desktops that sample live"
    wait_for 10 calls_at_least Close 1 || die "the portal session was not closed"
    close_and_expect_status_0
    ;;

  no_pointer_position)
    # Buffers with cursor metadata that never holds a position (id 0 throughout) after the first picture.
    start_desktop
    start_source --size 320x240
    place "0 0 320 240"
    say "fill 0 5A5A5A"
    start -c
    expect_fallback "no pointer position came"
    close_and_expect_status_0
    ;;

  still_pointer)
    # The first picture brings the pointer, then nothing comes for longer than the program waits for a
    # position: no fallback, the colour is still read.
    start_live
    wait_for 6 has_message_box && die "a message box appeared for a still pointer: $(cat "$tmp/stderr")"
    [ -s "$tmp/stderr" ] && die "unexpected output: $(cat "$tmp/stderr")"
    printf 'stale' | xclip -i -selection clipboard
    capture_until_clipboard '#12A5C3'
    close_and_expect_status_0
    ;;

  display_change)
    # A display change ends the sharing (as on GNOME); the program starts one new session with the token
    # by itself, without a word, whether XWayland's monitors or mutter tell of the change, before or after
    # the end. A fourth within a minute is told like a stop.
    command -v xrandr >/dev/null || { echo "SKIP: xrandr is needed" >&2; exit 77; }
    start_x 640x480x24 141 190
    start_live
    selects() { count_calls SelectSources; }
    resumed() {  # $1: the SelectSources count to reach, $2: the colour to capture then
      wait_for 10 calls_at_least SelectSources "$1" || die "no new session after display change $(($1 - 1))"
      [ "$(grep '"SelectSources"' "$calls" | tail -n1 | grep -c restore_data)" -eq 1 ] || die "the resume did not offer the token"
      say "fill 0 $2"
      capture_until_clipboard "#$2"
    }
    test_call() { dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.desktop.test \
      /org/freedesktop/portal/desktop "org.tintvale.Test.$1" "${@:2}" >/dev/null || die "test backend: $1"; }
    # 1: the sharing ends, then XWayland's monitors change.
    test_call StopSharing
    xrandr --output screen --primary
    resumed 2 336699
    # 2: XWayland's monitors change, then the sharing ends.
    xrandr --output screen --noprimary
    test_call StopSharing
    resumed 3 446688
    # 3: mutter's MonitorsChanged after the end, with no change XWayland shows (a new scale).
    test_call DisplayChange string:close-first
    resumed 4 557799
    has_message_box && die "a message box after a display change"
    [ -s "$tmp/stderr" ] && die "unexpected output: $(cat "$tmp/stderr")"
    # 4: the fourth in a minute is not followed: told once, no new session.
    test_call DisplayChange string:signal-first
    wait_for 20 stderr_has "sharing ended" || die "stderr does not say the sharing ended"
    wait_for 2 calls_at_least SelectSources 5 && die "a fourth resume within a minute"
    close_and_expect_status_0
    ;;

  source_killed)
    start_live
    kill -KILL "$source_pid"
    exec 7>&-
    wait_for 20 has_message_box || die "no message box after the stream ended"
    wait_for 5 stderr_has "sharing ended" || die "stderr does not say the sharing ended"
    gone "$pid" && die "the program ended with the stream"
    # A new source; the next activation of the main window starts one new session, with the token.
    start_source --size 320x240
    place "0 0 320 240"
    say "fill 0 C0FFEE"
    say "cursor 0 10 10"
    box=$(message_box)
    xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
    wait_for 10 active_is "$box" || die "the message box did not become active"
    activate_main
    # The new session's sources are chosen after it is created: wait for that call before reading it.
    wait_for 20 calls_at_least SelectSources 2 || die "no new session when the main window was activated"
    [ "$(grep '"SelectSources"' "$calls" | tail -n1 | grep -c restore_data)" -eq 1 ] || die "the retry did not offer the token"
    capture_until_clipboard '#C0FFEE'
    close_and_expect_status_0
    ;;

  stop_sharing)
    # The desktop's sharing indicator ends the session with no display change: the program keeps running,
    # reads fail, it says so once and starts no new session by itself; the close box still ends it.
    start_live
    dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.desktop.test /org/freedesktop/portal/desktop \
      org.tintvale.Test.StopSharing >/dev/null || die "could not stop the sharing"
    wait_for 20 stderr_has "sharing ended" || die "stderr does not say the sharing ended"
    [ "$(count_calls SelectSources)" -eq 1 ] || die "a new session without a display change or an activation"
    say "fill 0 FFFFFF"
    xdotool key Return
    # A bounded look for what must not happen: reads fail now, so the capture keeps the last colour.
    wait_for 1 clipboard_is '#FFFFFF' && die "a colour was read after the sharing ended"
    gone "$pid" && die "the program ended with the session"
    close_and_expect_status_0
    ;;

  writes_only_token)
    # The token is the one file the program writes: every call that creates, writes, moves or removes a
    # file outside /dev, /proc and the runtime folder must be in the token's folder (or make the folders
    # on the way to it).
    command -v strace >/dev/null || { echo "SKIP: strace is needed" >&2; exit 77; }
    start_desktop
    start_source --size 320x240
    place "0 0 320 240"
    say "fill 0 5A5A5A"
    say "cursor 0 1 1"
    prog_real=$prog
    prog=$tmp/traced
    # LeakSanitizer cannot run under ptrace: the other cases check for leaks. The wrapper expands "$@".
    # shellcheck disable=SC2016
    printf '#!/bin/sh\nASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" exec strace -f -qq -o "%s" -e trace=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat "%s" "$@"\n' \
      "$tmp/trace" "$prog_real" >"$prog"
    chmod +x "$prog"
    start -c
    capture_until_clipboard '#5A5A5A'
    close_and_expect_status_0
    [ -f "$token_file" ] || die "no token was written"
    [ "$(grep -c open "$tmp/trace")" -gt 50 ] || die "the trace did not work"
    { grep -E '^[0-9]+ +(open|openat|openat2|creat)\(' "$tmp/trace" | grep -E 'O_(WRONLY|RDWR|CREAT|TRUNC)|creat\(' || true
      grep -E '^[0-9]+ +(mkdir|mkdirat|rename|renameat|renameat2|unlink|unlinkat|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat)\(' "$tmp/trace" || true
    } | grep -v '= -1 ' | grep -Ev "\"(/dev/|/proc/|$XDG_RUNTIME_DIR/)" |
      grep -Ev '"/tmp/tsan\.rodata\.' >"$tmp/writes"  # ThreadSanitizer's own runtime file, in its build
    grep -q restore-token "$tmp/writes" || die "the trace shows no write of the token"
    state_parents=$(p=${token_file%/*}; while [ "$p" != / ] && [ -n "$p" ]; do printf '"%s"|' "$p"; p=${p%/*}; done)
    if grep -Ev "\"${token_file%/*}/|${state_parents%|}" "$tmp/writes" >"$tmp/outside"; then
      die "files written outside the token's folder: $(cat "$tmp/outside")"
    fi
    sed 's/^/  written: /' "$tmp/writes"
    ;;

  *) die "unknown case" ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "PASS [$case_name]"
