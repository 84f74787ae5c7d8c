#!/usr/bin/env bash
# Drives the real program from outside with X clients, as a user would.
# Usage: program_test.sh CASE TINTVALE SEND_CLOSE   (needs DISPLAY with a window manager; 77 = skipped)
set -uo pipefail
case_name=$1
prog=$2
send_close=$3

# xfwm4 takes its settings through xfconf on a session bus, and a screen reader meets the program on the
# accessibility bus: a private session bus for the case, ended with it, that can start only those.
if [[ $case_name == *_xfwm4 || $case_name == atspi_* ]] && [ -z "${TINTVALE_TEST_OWN_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is needed" >&2; exit 77; }
  if [[ $case_name == atspi_* ]]; then service=org.a11y.Bus; else service=org.xfce.Xfconf; fi
  [ -f "/usr/share/dbus-1/services/$service.service" ] || { echo "SKIP: $service is not installed" >&2; exit 77; }
  TINTVALE_TEST_OWN_BUS=1 exec "$(dirname "$0")/../../scripts/with-bus.sh" "$service" -- "$0" "$@"
fi

# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
fail_prefix="FAIL [$case_name]"
# shellcheck source=tests/qt/window_checks.sh
source "$(dirname "$0")/window_checks.sh"

tmp=$(mktemp -d /tmp/tintvale-test.XXXXXX)
on_exit rm -rf "$tmp"
pid=""
show_program_stderr() { [ -s "$tmp/stderr" ] && sed 's/^/  program: /' "$tmp/stderr" >&2; }
on_die show_program_stderr

visible_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
main_window() { windows_titled Tintvale | head -n1; }
about_window() { windows_titled 'Tintvaleのﾊﾞｰｼﾞｮﾝ情報' | head -n1; }
has_about_window() { [ -n "$(about_window)" ]; }
no_about_window() { [ -z "$(about_window)" ]; }

start() {
  launch "$@"
  # The entry box has the focus once the window is active.
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
  wait_for 10 active_is "$wid" || die "the main window did not become active"
}
# Left, top, width and height of a window's client area on the root (xdotool's own figure is off by
# the frame under openbox).
client_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2}
                           /Height:/ {h=$2} END {print x, y, w, h}'
}

open_about() {
  xdotool type --delay 20 '/info'
  xdotool key Return
  wait_for 20 has_about_window || die "/info and Enter did not open the About box"
  about=$(about_window)
  wait_for 10 active_is "$about" || xdotool windowactivate --sync "$about" >/dev/null 2>&1
}

# The coordinate box (208,32 in the client area, 57x18) selected as a user selects it all, with a
# triple click; the selection goes to PRIMARY.
select_coordinate_box() {
  local X Y
  read -r X Y _ _ < <(client_geometry "$wid")
  xdotool mousemove $((X + 236)) $((Y + 41)) click --repeat 3 --delay 60 1
}

primary_is() { [ "$(xclip -o -selection primary 2>/dev/null; echo .)" = "$1." ]; }
primary_is_not() { ! primary_is "$1"; }
# The text of the coordinate box as a user copies it ("x<Tab>y"): PRIMARY is given away first, so the
# text read back is the selection just made.
coordinates_selected() {
  printf 'given away' | xclip -i -selection primary >/dev/null 2>&1
  # xclip may take the selection after it has returned: the box's selection must come after that.
  wait_for 5 primary_is 'given away' || die "xclip did not take PRIMARY"
  select_coordinate_box
  wait_for 5 primary_is_not 'given away' || die "selecting the coordinate box selected nothing"
  xclip -o -selection primary 2>/dev/null
}

# The coordinates shown for the pointer at root X Y. Each step waits for a sign that the program has seen
# the one before: the root takes a colour it has not had and the swatch must show it (a tick read the
# pixel with the pointer there), then "#" pauses sampling and the swatch must go black (the program
# handled it) before the pointer goes to the coordinate box to select them. Tried again, with Enter
# between (a capture, which resumes sampling), until they are as expected: a change of the monitors
# reaches the program in its own time. Returns with sampling paused; Enter resumes.
probe=0
coordinates_until() {
  local x=$1 y=$2 expected=$3 end=$((SECONDS + 20)) colour shown
  while true; do
    probe=$((probe + 1))
    colour=$(printf '#%02X%02X60' $((40 + probe * 37 % 200)) $((40 + probe * 91 % 200)))
    xdotool mousemove "$x" "$y"
    xsetroot -solid "$colour"
    wait_for 10 swatch_is "$colour" || die "the swatch shows $(swatch), not the root's $colour under the pointer at $x,$y"
    xdotool key ctrl+a type '#'
    wait_for 10 swatch_is '#000000' || die "typing # did not pause sampling: the swatch shows $(swatch)"
    shown=$(coordinates_selected)
    [ "$shown" = "$expected" ] && return 0
    if [ $SECONDS -ge $end ]; then
      fail "the pointer at $x,$y shows '$(od -An -c <<<"$shown")', expected '$expected'"
      return 1
    fi
    xdotool key Return
  done
}
swatch() {
  local X Y
  read -r X Y _ _ < <(client_geometry "$wid")
  import -window root -crop 1x1+$((X + 30))+$((Y + 30)) -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1
}
swatch_is() { [ "$(swatch)" = "$1" ]; }
swatch_is_not() { [ "$(swatch)" != "$1" ]; }

command -v xdotool >/dev/null && command -v xclip >/dev/null && command -v xprop >/dev/null || {
  echo "SKIP: xdotool, xclip and xprop are needed" >&2; exit 77; }
if [ "$case_name" != no_display ]; then
  [ -n "${DISPLAY:-}" ] && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || {
    echo "SKIP: needs an X display with a window manager" >&2; exit 77; }
fi
export XDG_CONFIG_HOME=$tmp/config XDG_CONFIG_DIRS=$tmp/config-dirs
unset QT_QPA_PLATFORM
# These cases read the screen through X11 whatever session they run in; tests/portal covers the portal.
export TINTVALE_SCREEN=x11

case $case_name in
  no_display)
    env -u DISPLAY -u WAYLAND_DISPLAY "$prog" >"$tmp/stdout" 2>"$tmp/stderr"
    rc=$?
    [ "$rc" -eq 1 ] || die "exit status $rc without a display, expected 1"
    [ "$(wc -l <"$tmp/stderr")" -eq 1 ] || die "expected one line on stderr, got: $(cat "$tmp/stderr")"
    grep -qi display "$tmp/stderr" || die "the message does not mention the display"
    ;;

  capture_hex_clipboard|capture_decimal_clipboard)
    xsetroot -solid '#0A00AB'
    if [ "$case_name" = capture_hex_clipboard ]; then start -c; expected='#0A00AB'; else start -d -c; expected='10,0,171'; fi
    xdotool mousemove 20 30
    capture_until_clipboard "$expected"
    close_and_expect_status_0
    ;;

  qt_options_are_argument_text)
    # Qt takes -display and -name out of the arguments it hands on and still acts on them; the option
    # scan sees them: "-display" and "my-data" both hold "-d".
    xsetroot -solid '#0A00AB'
    for args in "-display $DISPLAY -c" "-name my-data -c"; do
      # shellcheck disable=SC2086
      start $args
      xdotool mousemove 20 30
      capture_until_clipboard '10,0,171'
      [[ "$args" != -name* ]] || xprop -id "$wid" WM_CLASS | grep -q '"my-data"' ||
        fail "Qt did not act on -name: $(xprop -id "$wid" WM_CLASS)"
      close_and_expect_status_0
    done
    ;;

  copy_coordinates_and_paste_the_same_colour)
    # Copied from the coordinate box, by selecting it (PRIMARY) and with its context menu (CLIPBOARD),
    # the coordinates are x, a tab, y.
    xsetroot -solid '#0A00AB'
    start -c
    read -r X Y _ _ < <(client_geometry "$wid")
    # With the pointer on the box itself its text stays the same while sampling goes on, so a selection
    # holds; it is tried until it shows where the box is (a tick has seen the pointer there).
    on_the_box() { [ "$(coordinates_selected)" = "$((X + 236))"$'\t'"$((Y + 41))" ]; }
    wait_for 10 on_the_box || fail "the pointer on the coordinate box shows '$(coordinates_selected | od -An -c)'"
    printf 'stale' | xclip -i -selection clipboard >/dev/null 2>&1
    # The context menu is a window of its own (override-redirect): the "c" waits until it is up.
    menu_open() {
      local w
      for w in $(xdotool search --onlyvisible --pid "$pid" . 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
      done
      return 1
    }
    xdotool click 3
    wait_for 10 menu_open || die "the coordinate box's context menu did not open"
    xdotool key c
    wait_for 5 clipboard_is "$((X + 236))"$'\t'"$((Y + 41))" ||
      fail "the context menu's Copy gave '$(xclip -o -selection clipboard 2>/dev/null | od -An -c)'"
    xdotool key Return
    # The text the entry box holds, pasted over itself, previews it and pauses like any colour text.
    xdotool mousemove 20 30
    capture_until_clipboard '#0A00AB'
    xdotool mousemove $((X + 100)) $((Y + 55))
    wait_for 5 swatch_is_not '#0A00AB' || fail "the swatch did not follow the pointer onto the window"
    xdotool key ctrl+a ctrl+v
    wait_for 5 swatch_is '#0A00AB' || fail "the swatch shows $(swatch) after the entry's own text was pasted over it"
    close_and_expect_status_0
    ;;

  paste_while_sampling)
    # A colour pasted while sampling runs stays on show, however the paste falls between the ticks: with
    # the pointer on a red root, paste, then Enter (which captures red and resumes sampling), again and
    # again. Between the ticks' repaints the swatch never shows a colour that is painted over later.
    xsetroot -solid '#FF0000'
    start
    printf '#0A00AB' | xclip -i -selection clipboard >/dev/null 2>&1
    xdotool mousemove 20 30
    for i in $(seq "${TINTVALE_PASTES:-100}"); do
      wait_for 10 swatch_is '#FF0000' || die "paste $i: sampling did not show the red root (the swatch shows $(swatch))"
      xdotool key ctrl+a ctrl+v
      wait_for 5 swatch_is '#0A00AB' || die "paste $i: the swatch shows $(swatch), not the pasted #0A00AB"
      xdotool key Return
    done
    close_and_expect_status_0
    ;;

  capture_over_window)
    xsetroot -solid '#000000'
    convert -size 160x160 'xc:#12A5C3' "$tmp/patch.png"
    display -title tintvale-patch -geometry +700+400 "$tmp/patch.png" &
    stop_at_exit $!
    has_patch() { [ -n "$(visible_windows '^tintvale-patch$')" ]; }
    wait_for 20 has_patch || die "the colour patch did not appear"
    patch=$(visible_windows '^tintvale-patch$' | head -n1)
    read -r px py pw ph < <(client_geometry "$patch")
    start -c
    xdotool mousemove $((px + pw / 2)) $((py + ph / 2))
    capture_until_clipboard '#12A5C3'
    close_and_expect_status_0
    ;;

  topmost)
    start
    geometry() { xwininfo -id "$wid" | grep -E 'Absolute upper-left|Width|Height' | tr -s ' '; }
    above() { xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
    not_above() { ! above; }
    before=$(geometry)
    read -r X Y _ _ < <(client_geometry "$wid")
    # The check box: 64,32 from the client area's top left, 105x17.
    xdotool mousemove $((X + 70)) $((Y + 40)) click 1
    wait_for 10 above || die "_NET_WM_STATE_ABOVE was not set"
    [ "$(main_window)" = "$wid" ] || die "the window was replaced"
    [ "$(geometry)" = "$before" ] || die "geometry changed: '$before' -> '$(geometry)'"
    xdotool mousemove $((X + 70)) $((Y + 40)) click 1
    wait_for 10 not_above || die "_NET_WM_STATE_ABOVE stayed set"
    [ "$(geometry)" = "$before" ] || die "geometry changed: '$before' -> '$(geometry)'"
    close_and_expect_status_0
    ;;

  close_box)
    start
    close_and_expect_status_0
    ;;

  window_hints)
    start
    read -r _ _ w h < <(client_geometry "$wid")
    [ "$w x $h" = "282 x 60" ] || die "client area $w x $h, expected 282 x 60"
    hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
    grep -q 'minimum size: 282 by 60' <<<"$hints" && grep -q 'maximum size: 282 by 60' <<<"$hints" ||
      die "not fixed in size: $hints"
    # Motif functions: no minimize (0x8) or maximize (0x10) for window managers that honour them.
    functions=$(xprop -id "$wid" _MOTIF_WM_HINTS | sed -n 's/.*= \(0x[0-9a-f]*\), \(0x[0-9a-f]*\).*/\2/p')
    [ -n "$functions" ] && [ $((functions & 0x18)) -eq 0 ] || die "minimize or maximize allowed: $functions"
    xprop -id "$wid" _NET_WM_ICON | head -n1 | grep -q 'Icon (32 x 32)' || die "no 32x32 window icon"
    close_and_expect_status_0
    ;;

  close_with_about_open)
    start
    open_about
    close_and_expect_status_0
    ;;

  about_title_and_esc)
    start
    open_about
    title=$(xprop -id "$about" _NET_WM_NAME)
    [ "$title" = '_NET_WM_NAME(UTF8_STRING) = "Tintvaleのﾊﾞｰｼﾞｮﾝ情報"' ] || die "About box title: $title"
    xdotool key Escape
    wait_for 10 no_about_window || die "Esc did not close the About box"
    close_and_expect_status_0
    ;;

  sysinfo_starts_script)
    mkdir -p "$XDG_CONFIG_HOME/tintvale"
    printf '#!/bin/sh\necho started > "%s"\n' "$tmp/marker" >"$tmp/sys info.sh"
    chmod +x "$tmp/sys info.sh"
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n"PATH"="%s"\r\n' \
      "$tmp/sys info.sh" >"$XDG_CONFIG_HOME/tintvale/registry.reg"
    start
    open_about
    xdotool key alt+s
    wait_for 20 test -s "$tmp/marker" || die "Alt+S did not start the program named in registry.reg"
    close_and_expect_status_0
    ;;

  sysinfo_unavailable)
    start
    open_about
    two_titled() { [ "$(windows_titled Tintvale | wc -l)" -eq 2 ]; }
    one_titled() { [ "$(windows_titled Tintvale | wc -l)" -eq 1 ]; }
    # Alt+S, then Enter with the button focused (OK -> icon -> button by Tab): each shows the message box.
    for press in "alt+s" "Tab Tab Return"; do
      wait_for 10 active_is "$about" || xdotool windowactivate --sync "$about" >/dev/null 2>&1
      # shellcheck disable=SC2086
      xdotool key $press
      wait_for 20 two_titled || die "no message box titled Tintvale appeared after $press"
      box=$(windows_titled Tintvale | grep -v "^$wid\$" | head -n1)
      wait_for 10 active_is "$box" || xdotool windowactivate --sync "$box" >/dev/null 2>&1
      xdotool key Return
      wait_for 10 one_titled || die "Enter did not close the message box"
      has_about_window || die "the About box closed with the message box"
    done
    close_and_expect_status_0
    ;;

  depth16|depth30)
    depth=${case_name#depth}
    start_x 640x480x"$depth" 141 190
    xsetroot -solid '#0A00AB'
    start -c
    xdotool mousemove 20 400
    # 5-6-5 bits scaled back to 8 with rounding; 10 bits per channel give the colour exactly.
    if [ "$depth" = 16 ]; then capture_until_clipboard '#0800AD'; else capture_until_clipboard '#0A00AB'; fi
    close_and_expect_status_0
    ;;

  primary_monitor_origin)
    # Two monitors side by side, the right one primary and holding the screen's output (so the whole
    # screen's own monitor is gone): coordinates are measured from the right half's top left.
    start_x 2560x800x24 141 190
    command -v xrandr >/dev/null || { echo "SKIP: xrandr is needed" >&2; exit 77; }
    xrandr --setmonitor tintvale-left 1280/338x800/211+0+0 none >/dev/null
    xrandr --setmonitor '*tintvale-right' 1280/338x800/211+1280+0 screen >/dev/null
    xrandr --output screen --primary
    [ "$(xrandr --listmonitors | head -n1)" = "Monitors: 2" ] || fail "monitors: $(xrandr --listmonitors)"
    start
    coordinates_until 100 100 $'-1180\t100'
    xdotool key Return
    coordinates_until 1400 700 $'120\t700'
    xdotool key Return
    # While it runs the right half goes and the whole screen is one monitor again, not primary: the root's
    # origin. A monitor set or deleted by hand sends no notice; the primary output's change does.
    xrandr --delmonitor tintvale-right
    xrandr --output screen --noprimary
    coordinates_until 100 100 $'100\t100'
    close_and_expect_status_0
    ;;

  wayland_session_note)
    # In a Wayland session the program still runs on X11 (XWayland) and says once what it cannot read.
    WAYLAND_DISPLAY=tintvale-test-none start
    wayland_lines=$(grep -c -i wayland "$tmp/stderr")
    [ "$wayland_lines" -eq 1 ] || die "expected one line about Wayland on stderr, got $wayland_lines"
    close_and_expect_status_0
    ;;

  offscreen_without_screen)
    # No X connection at all (Qt's offscreen platform): the program runs, reads nothing, does not crash.
    QT_QPA_PLATFORM=offscreen timeout 3 "$prog" -c 2>"$tmp/stderr"
    rc=$?
    [ "$rc" -eq 124 ] || die "exit status $rc under the offscreen platform (expected to be still running)"
    ;;

  about_above_on_top_openbox|about_above_on_top_xfwm4)
    # The About box of a main window kept on top: the window manager keeps it above as the main window's
    # transient; after OK the keyboard is back in the entry box (xfwm4 gives it to the transient parent).
    TINTVALE_WM=${case_name##*_} start_x 1280x800x24 141 190
    xsetroot -solid '#000000'
    start
    above() { xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
    read -r X Y _ _ < <(client_geometry "$wid")
    xdotool mousemove $((X + 70)) $((Y + 40)) click 1
    wait_for 10 above || die "_NET_WM_STATE_ABOVE was not set"
    wait_for 10 active_is "$wid" || die "the main window lost the focus to its check box click"
    open_about
    transient=$(xprop -id "$about" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')
    [ $((transient)) -eq $((wid)) ] || fail "WM_TRANSIENT_FOR of the About box is '$transient', expected $wid"
    xprop -id "$about" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG || fail "the About box is no dialog"
    # Bottom to top: the About box after the main window.
    stacking() { xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | while read -r w; do echo $((w)); done; }
    about_on_top() { [ "$(stacking | grep -n -x -e $((wid)) -e $((about)) | tail -n1 | cut -d: -f2)" = $((about)) ]; }
    wait_for 10 about_on_top || fail "stacking (bottom to top) $(stacking | tr '\n' ' '), main $((wid)), About $((about))"
    # Its title, icon and version are not covered: the main window does not overlap the About box's top.
    read -r ax ay aw _ < <(client_geometry "$about")
    read -r mx my mw mh < <(client_geometry "$wid")
    if [ "$mx" -lt $((ax + aw)) ] && [ $((mx + mw)) -gt "$ax" ] && [ "$my" -lt $((ay + 60)) ] && [ $((my + mh)) -gt "$ay" ]; then
      import -window root -crop 1x1+$((ax + 100))+$((ay + 20)) -depth 8 txt:- 2>/dev/null | grep -q '#000000' &&
        fail "the About box's title row is covered"
    fi
    xdotool key Return  # OK has the focus
    wait_for 10 no_about_window || die "Enter on OK did not close the About box"
    wait_for 10 active_is "$wid" || fail "after OK the active window is '$(xdotool getactivewindow 2>/dev/null)', not the main window"
    # The next keys go to the entry box (which still holds "/info"): a colour typed over it shows.
    xdotool key ctrl+a
    xdotool type --delay 20 '#FF0000'
    wait_for 10 swatch_is '#FF0000' || fail "typed after OK, '#FF0000' did not reach the entry box (swatch $(swatch))"
    close_and_expect_status_0
    ;;

  alt_arrow_moves_pointer_openbox|alt_arrow_moves_pointer_xfwm4)
    # Alt+arrow moves the pointer by one pixel, Alt+Shift+arrow by ten; a plain arrow does not move it.
    # (Openbox's own default keys take Alt+Shift+arrow, so ten-pixel steps are checked under xfwm4.)
    wm=${case_name##*_}
    TINTVALE_WM=$wm start_x 1280x800x24 141 190
    start
    xdotool mousemove 600 400
    pointer_at() { [ "$(xdotool getmouselocation | cut -d' ' -f1,2)" = "x:$1 y:$2" ]; }
    wait_for 5 pointer_at 600 400 || die "xdotool did not move the pointer"
    step() {
      xdotool key "$1"
      wait_for 5 pointer_at "$2" "$3" || fail "$1 left the pointer at $(xdotool getmouselocation | cut -d' ' -f1,2), expected $2,$3"
    }
    step alt+Right 601 400
    step alt+Down 601 401
    step alt+Left 600 401
    step alt+Up 600 400
    # The entry's own arrow keys: they move nothing, as the next Alt step (handled after them) shows.
    xdotool key Right Left Up Down shift+Left
    step alt+Right 601 400
    if [ "$wm" = xfwm4 ]; then
      step alt+shift+Right 611 400
      step alt+shift+Down 611 410
      step alt+shift+Left 601 410
      step alt+shift+Up 601 400
    fi
    # At the screen's edge the pointer stops there.
    xdotool mousemove 0 0
    wait_for 5 pointer_at 0 0 || die "xdotool did not move the pointer"
    step alt+Left 0 0
    step alt+Down 0 1
    close_and_expect_status_0
    ;;

  atspi_tree|atspi_swatch_follows|atspi_event_rate|atspi_announce)
    # A real AT-SPI bus on this case's own session bus and display (Qt finds the bus through the display).
    /usr/bin/python3 -c 'import pyatspi, dbus' 2>/dev/null || {
      echo "SKIP: python3-pyatspi and python3-dbus are needed" >&2; exit 77; }
    start_x 1280x800x24 141 190
    /usr/bin/python3 "$(dirname "$0")/atspi_check.py" "${case_name#atspi_}" "$prog" ${TINTVALE_ATSPI_RATE_FILE:+"$TINTVALE_ATSPI_RATE_FILE"} ||
      fail "the AT-SPI check failed"
    ;;

  *) fail "unknown case" ;;
esac
[ "$failures" -eq 0 ] || die "$failures check(s) failed"
echo "PASS [$case_name]"
