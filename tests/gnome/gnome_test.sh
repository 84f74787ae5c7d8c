#!/usr/bin/env bash
# The real program on a real GNOME desktop: mutter 43 headless with two monitors, its XWayland, PipeWire and
# the real xdg-desktop-portal with the GNOME backend (desktop.sh). The program runs as in a GNOME Wayland
# session, its window on mutter's XWayland; the pointer and the keyboard are mutter's, driven through its
# remote-desktop interface, over pattern windows whose every pixel has a colour of its own.
# Usage: gnome_test.sh CASE TINTVALE   (77 = skipped)
set -uo pipefail
case_name=$1
prog=$2
here=$(cd "$(dirname "$0")" && pwd)

for tool in mutter Xwayland dbus-daemon gdbus pipewire wireplumber pw-cli xdotool xclip xprop xwininfo \
            /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/xdg-permission-store \
            /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is needed (scripts/test-gnome.sh installs it)" >&2; exit 77; }
done
/usr/bin/python3 -c 'import dbus, cairo, gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
  { echo "SKIP: python3-dbus, python3-gi-cairo and gir1.2-gtk-3.0 are needed" >&2; exit 77; }

# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"
fail_prefix="FAIL [$case_name]"
# shellcheck source=tests/qt/window_checks.sh
source "$here/../qt/window_checks.sh"

tmp=$(mktemp -d /tmp/tintvale-gnome.XXXXXX)
on_exit rm -rf "$tmp"
show_logs() {
  local f
  for f in "$tmp"/stderr "$tmp"/person.err "$tmp"/patterns.err "$tmp"/portal.log "$tmp"/portal-gnome.log; do
    [ -s "$f" ] && sed "s|^|  ${f##*/}: |" "$f" | grep -v 'dbind-WARNING\|^  [^:]*: *$' | tail -n 20 >&2
  done
}
on_die show_logs

# shellcheck source=tests/gnome/desktop.sh
source "$here/desktop.sh"
gnome_env "$tmp"

# The program's windows are found by their title and size, as in the other program tests.
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
main_window() {
  local w
  for w in $(windows_titled Tintvale); do [ "$(size_of "$w")" = 282x60 ] && echo "$w"; done | head -n1
}
# Left, top, width and height of the main window's client area on XWayland's screen.
client_geometry() {
  xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2}
                             /Height:/ {h=$2} END {print x, y, w, h}'
}
active_window() { xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | awk '{print $NF}'; }
is_active() { [ "$(( $(active_window) ))" = "$(( $1 ))" ]; }
not_active() { ! is_active "$wid"; }
# Asked again until it holds: a window that appears meanwhile may take the focus.
activate_once() { xdotool windowactivate "$1" >/dev/null 2>&1; wait_for 0.5 is_active "$1"; }
activate_main() { wait_for 10 activate_once "$wid" || die "the main window did not become active"; }

# mutter's keyboard, not XTest: Enter until the capture on the clipboard is the expected text.
press_enter_until_clipboard() { person key Return; wait_for 1 clipboard_is "$1"; }
primary_is() { [ "$(xclip -o -selection primary 2>/dev/null; echo .)" = "$1." ]; }
primary_whole_box() {
  local text
  text=$(xclip -o -selection primary 2>/dev/null)
  [ "$text" != "$1" ] && [[ $text == *$'\t'* ]]
}
# The swatch as the program painted it (its own X window's pixels, whatever covers it on the screen).
swatch() { import -window "$wid" -crop 1x1+30+30 -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
swatch_is() { [ "$(swatch)" = "$1" ]; }
swatch_is_not() { [ "$(swatch)" != "$1" ]; }

# The program started as a GNOME session starts it, with its window moved to 500,400 of the primary
# monitor, away from the points the cases read, and active.
start() {
  launch "$@"
  local px py
  read -r px py < <("$gnome_python" "$gnome_dir/control.py" state | awk '$7 == "primary" {print $2, $3}')
  # mutter's placement may undo a move made right after the window maps: moved until it holds.
  moved() { xdotool windowmove "$wid" $((px + 500)) $((py + 400)) >/dev/null 2>&1; wait_for 0.5 at_place; }
  at_place() { read -r X Y _ _ < <(client_geometry); [ "$X" -eq $((px + 500)) ] && [ "$Y" -ge $((py + 400)) ]; }
  wait_for 10 moved || die "the main window could not be moved: at $(client_geometry)"
  activate_main
}
# Through the real close box: the button at the right of the title bar mutter draws on the window.
close_by_close_box() {
  local X Y W
  read -r X Y W _ < <(client_geometry)
  person movex $((X + W - 18)) $((Y - 18))
  person click 1
  wait_for 20 exited || die "the program did not end after its close box was clicked"
  wait "$pid"; local rc=$?
  pid=""
  [ "$rc" -eq 0 ] || die "exit status $rc after the close box"
}

# The colour under the pointer at X Y of a monitor, read with Enter from the clipboard.
expect_colour() {
  person move "$1" "$2" "$3"
  capture_until_clipboard "$(pattern_colour "$1" "$2" "$3")"
  pass "$1 $2,$3: $(pattern_colour "$1" "$2" "$3")"
}
# The same, then the coordinates shown for it, as a user copies them: "#" typed into the entry box
# pauses sampling (the pointer has not moved since the colour said the program saw it there), the
# coordinate box (208,32 in the client area, 57x18) is selected with a triple click into PRIMARY; Enter
# then captures and samples again.
expect_coordinates() {
  local expected X Y previous
  expected=$(expected_coordinates "$1" "$2" "$3")
  previous=$(xclip -o -selection primary 2>/dev/null)
  expect_colour "$1" "$2" "$3"
  person key numbersign
  read -r X Y _ _ < <(client_geometry)
  # Each click changes the selection (a double click selects a word); the triple click is made again
  # until the selection is new and holds the whole box, "x<Tab>y": under load, three clicks sent
  # together do not always come as one triple click.
  select_box() {
    person movex $((X + 236)) $((Y + 41))
    person click 1 3
    wait_for 1 primary_whole_box "$previous"
  }
  if wait_for 10 select_box && primary_is "$expected"; then
    pass "$1 $2,$3 shows ${expected/$'\t'/ }"
  else
    fail "the pointer at $2,$3 of $1 shows '$(xclip -o -selection primary 2>/dev/null | tr '\t' ' ')'," \
         "expected '${expected/$'\t'/ }'"
  fi
  person key Return
}

# Colours on both monitors: each edge's last pixel and its neighbours, one pixel apart.
expect_colours_everywhere() {
  local connector w h
  while read -r connector _ _ w h _; do
    [ "$connector" = mode ] && continue
    expect_colour "$connector" 0 0
    expect_colour "$connector" 1 0
    expect_colour "$connector" 0 1
    expect_colour "$connector" $((w - 1)) $((h - 1))
    expect_colour "$connector" $((w - 2)) $((h - 1))
    expect_colour "$connector" $((w - 1)) $((h - 2))
    expect_colour "$connector" 301 203
  done < <("$gnome_python" "$gnome_dir/control.py" state)
}
expect_coordinates_everywhere() {
  local connector w h
  while read -r connector _ _ w h _; do
    [ "$connector" = mode ] && continue
    expect_coordinates "$connector" 0 0
    expect_coordinates "$connector" $((w - 1)) $((h - 1))
    expect_coordinates "$connector" 301 203
  done < <("$gnome_python" "$gnome_dir/control.py" state)
}

# A grant for both monitors in the permission store, and its token where the program keeps it.
grant() {
  granted=$(cat /proc/sys/kernel/random/uuid)
  "$gnome_python" "$gnome_dir/control.py" grant "$granted" || die "could not write the grant"
  mkdir -p "${token_file%/*}"
  echo "$granted" >"$token_file"
}
# GNOME's chooser answered over AT-SPI (chooser.py share|cancel); what it offered in $tmp/chooser.out.
answer_chooser() {
  "$gnome_python" "$gnome_dir/chooser.py" "$1" >"$tmp/chooser.out" 2>&1 || die "the chooser: $(chooser_said)"
}
chooser_said() { tr '\n' ' ' <"$tmp/chooser.out"; }
# When the grant under a token was last used; whether that is later than a time.
last_used() { "$gnome_python" "$gnome_dir/control.py" used "$1"; }
used_since() { local t; t=$(last_used "$1") && [ "$t" -gt "$2" ]; }

case $case_name in
  colours_on_each_monitor)
    # The default layout: Meta-0 primary at 0,0, Meta-1 on its right. Enter with -c on XWayland.
    start_gnome
    grant
    start -c
    expect_colours_everywhere
    expect_coordinates_everywhere
    close_by_close_box
    ;;

  left_of_primary)
    # mutter places no monitor at a negative position: with Meta-1 on the left, the primary starts at 1024.
    start_gnome
    relayout physical Meta-1:0,0,1 Meta-0:1024,0,1,primary
    grant
    start -c
    expect_colours_everywhere
    expect_coordinates_everywhere
    close_by_close_box
    ;;

  scale2_physical|scale2_logical)
    # Meta-0 at scale 2 on the left of the primary Meta-1: 1600 device pixels wide in both modes; in the
    # logical mode its place in the layout is 800 wide.
    mode=${case_name#scale2_}
    start_gnome "$mode"
    if [ "$mode" = logical ]; then
      relayout logical Meta-0:0,0,2 Meta-1:800,0,1,primary
    else
      relayout physical Meta-0:0,0,2 Meta-1:1600,0,1,primary
    fi
    grant
    start -c
    expect_colours_everywhere
    expect_coordinates_everywhere
    close_by_close_box
    ;;

  token_reused)
    # The kept token is offered and used again on each start, and nobody is asked: there is nobody to
    # answer the chooser, and the colours come. The portal keeps the token's UUID and stores the grant
    # anew under it each time it is used (its last use is later each time).
    start_gnome
    grant
    used0=$(last_used "$granted") || die "the grant is not in the permission store"
    start -c
    expect_colour Meta-0 10 20
    wait_for 10 used_since "$granted" "$used0" || die "the first start did not use the granted token"
    used1=$(last_used "$granted")
    token=$(cat "$token_file")
    [ "$token" = "$granted" ] || fail "the portal handed out $token for $granted (it keeps the UUID)"
    close_by_close_box
    start -c
    expect_colour Meta-1 30 40
    wait_for 10 used_since "$token" "$used1" || die "the second start did not use the kept token"
    grep -Eq '^[0-9a-f-]{36}$' "$token_file" || die "no token kept after the second start"
    close_by_close_box
    ;;

  first_run_chooser)
    # No token yet: GNOME's chooser asks, with "Remember this selection" ticked; both monitors shared.
    # The next start needs no chooser.
    start_gnome
    start -c
    answer_chooser share
    grep -q '^remember on' "$tmp/chooser.out" || fail "the chooser does not offer to remember: $(chooser_said)"
    grep -q '^monitors 2' "$tmp/chooser.out" || fail "the chooser does not list both monitors: $(chooser_said)"
    expect_colour Meta-0 10 20
    expect_colour Meta-1 30 40
    wait_for 10 test -s "$token_file" || die "no token kept after the chooser"
    token=$(cat "$token_file")
    used=$(last_used "$token") || die "the kept token $token is not in the permission store"
    close_by_close_box
    start -c
    expect_colour Meta-1 50 60
    "$gnome_python" "$gnome_dir/chooser.py" absent || fail "the chooser showed again"
    used_since "$token" "$used" || fail "the second start did not use the kept token"
    close_by_close_box
    ;;

  chooser_cancelled)
    # Cancel in the chooser: the program says so once (a message box, one line on stderr) and reads
    # through X11; its window goes on working.
    start_gnome
    start -c
    answer_chooser cancel
    has_message_box() { [ "$(windows_titled Tintvale | wc -l)" -ge 2 ]; }
    wait_for 20 has_message_box || die "no message box titled Tintvale appeared"
    stderr_has() { grep -q -- "$1" "$tmp/stderr"; }
    wait_for 5 stderr_has "not allowed" || die "stderr does not say that sharing was not allowed"
    [ "$(grep -c . "$tmp/stderr")" -eq 1 ] || fail "expected one line on stderr: $(cat "$tmp/stderr")"
    [ -e "$token_file" ] && fail "a token was kept after the chooser was cancelled"
    # The message box, which mutter keeps above the main window, closed with Enter on its OK button.
    box=$(windows_titled Tintvale | grep -vx "$wid" | head -n1)
    wait_for 10 activate_once "$box" || die "the message box did not become active"
    person key Return
    no_message_box() { ! has_message_box; }
    wait_for 10 no_message_box || die "Enter did not close the message box"
    activate_main
    close_by_close_box
    ;;

  resume_after_display_change)
    # A display change ends every screen cast. The program starts a new session by itself, with the
    # token and no chooser, while its window stays inactive (a pattern window has the focus).
    start_gnome
    grant
    start -c
    expect_colour Meta-1 100 100
    person move Meta-1 500 400
    person click 1
    wait_for 10 not_active || die "a click on the pattern window did not take the focus from the main window"
    xprop -spy -root _NET_ACTIVE_WINDOW >"$tmp/active.log" 2>/dev/null &
    stop_at_exit $!
    token=$(cat "$token_file")
    used=$(last_used "$token") || die "the token in use is not in the permission store"
    # The monitors change places (the pattern windows follow them and keep the focus).
    start_ms=$(now_ms)
    relayout physical Meta-1:0,0,1 Meta-0:1024,0,1,primary
    changed_ms=$(now_ms)
    # The swatch follows the pointer to a place it has not been: the streams run again. The pointer moves
    # on by a pixel every 2 s until it does, as a hand would: beside stress-ng the new session sometimes
    # came after the first moves, and once the move after it was never shown (the next one was).
    tries=0
    follows() {
      tries=$((tries + 1))
      person move Meta-1 $((320 + tries)) 123
      wait_for 2 swatch_is "$(pattern_colour Meta-1 $((320 + tries)) 123)"
    }
    wait_for 20 follows || die "sampling did not resume after the display change (swatch $(swatch))"
    echo "resumed $(($(now_ms) - changed_ms)) ms after the new layout was in place ($((changed_ms - start_ms)) ms" \
         "to apply it), at move $tries"
    [ "$tries" -eq 1 ] || echo "NOTE: the swatch followed the pointer's move $tries after the display change," \
                               "not the first"
    grep -q "$(printf '0x%x' "$wid")" "$tmp/active.log" && fail "the main window was activated meanwhile"
    used_since "$token" "$used" || fail "the new session did not use the kept token"
    activate_main
    close_by_close_box
    ;;

  always_on_top)
    start_gnome
    grant
    start -c
    expect_colour Meta-0 40 40
    read -r X Y W H < <(client_geometry)
    before="$X $Y $W $H"
    above() { xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
    not_above() { ! above; }
    # Whether the pattern window under the main window covers it once that one has the focus: the
    # program reads what is in the middle of the title bar in a picture made after the focus changed
    # (the patterns scroll by SHIFT pixels; the swatch shows that at a point of its own first). mutter 43
    # drops a picture for good when it finds no free buffer, which happens under load: the pointer moves
    # on by a pixel every 2 s, and each move brings a new picture here (the pointer is drawn into it).
    covered() {
      local shift=$1 seen nudge=0
      person movex $((X + 100)) $((Y + 100))
      person click 1
      wait_for 10 not_active || die "the pattern window did not take the focus"
      echo "shift $shift" >&9
      scrolled() {
        nudge=$((nudge + 1))
        person move Meta-0 $((39 + nudge)) 40
        wait_for 2 swatch_is "$(pattern_colour Meta-0 $((39 + nudge + shift)) 40)"
      }
      wait_for 10 scrolled || die "the scrolled pattern did not come"
      # The same on the title bar: a dropped cursor-only update leaves the old position until the next move.
      local step=-1 old
      old=$(pattern_colour Meta-0 $((39 + nudge + shift)) 40)
      on_title_bar() {
        step=$((step + 1))
        person movex $((X + 100 + step)) $((Y - 20))
        wait_for 2 swatch_is_not "$old"
      }
      wait_for 10 on_title_bar || die "the program did not see the pointer on the title bar"
      seen=$(swatch)
      [ "$seen" = "$(pattern_colour Meta-0 $((X + 100 + step + shift)) $((Y - 20)))" ]
    }
    covered 100 || fail "without always-on-top, the pattern window with the focus did not cover the main window"
    activate_main
    # The check box: 64,32 from the client area's top left, 105x17.
    person movex $((X + 70)) $((Y + 40))
    person click 1
    wait_for 10 above || die "_NET_WM_STATE_ABOVE was not set"
    [ "$(main_window)" = "$wid" ] || die "the window was replaced"
    [ "$(client_geometry)" = "$before" ] || fail "geometry changed: '$before' -> '$(client_geometry)'"
    covered 200 && fail "with always-on-top, the pattern window with the focus covered the main window"
    activate_main
    person movex $((X + 70)) $((Y + 40))
    person click 1
    wait_for 10 not_above || die "_NET_WM_STATE_ABOVE stayed set"
    close_by_close_box
    ;;

  *) die "unknown case" ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "PASS [$case_name]"
