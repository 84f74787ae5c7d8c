#!/usr/bin/env bash
# The real program on a real KDE Plasma desktop, headless: KWin 5.27 on two virtual outputs with its
# XWayland, PipeWire and WirePlumber, xdg-desktop-portal-kde and the real xdg-desktop-portal on a private
# session bus (tests/kde/desktop.sh). Tintvale runs as in a Plasma Wayland session, its window on KWin's
# XWayland, over the tests' own Wayland-native pattern windows (pattern.py). KWin's pointer and keyboard
# are driven through its fake-input protocol (tintvale_fake_input), the screen-sharing chooser is clicked
# through like a person would, what KWin shows is read through its ScreenShot2 interface (screen.py), and
# the program's text boxes are read over AT-SPI as a screen reader reads them (reader.py).
# Installs what it needs (Debian 12), builds its two tools in BUILD, and runs every case in one desktop.
# Usage: tests/kde/kde_test.sh [BUILD]   (default build/ci, configured with the ci preset)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/ci}
prog=$build/tintvale
fake_input=$build/tests/kde/tintvale_fake_input
frame_probe=$build/tests/kde/tintvale_frame_probe

# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

kde_pkgs=(kwin-wayland kwin-style-breeze xwayland xdg-desktop-portal-kde qtwayland5 plasma-workspace
          qml-module-org-kde-pipewire qml-module-qtquick-layouts qml-module-qtquick-controls2
          qml-module-org-kde-kirigami2 libkf5screen-bin libgl1-mesa-dri libegl-mesa0
          plasma-wayland-protocols libwayland-bin libwayland-dev
          xdg-desktop-portal pipewire pipewire-bin wireplumber dbus dbus-bin libglib2.0-bin
          python3-dbus python3-gi python3-gi-cairo gir1.2-gtk-3.0 at-spi2-core python3-pyatspi
          x11-utils x11-xserver-utils xdotool xclip)
missing=()
for p in "${kde_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null || die "could not install ${missing[*]}"
fi
# The tools need the Wayland packages just installed: the build folder looks for them again.
if ! cmake "$build" >/dev/null || ! cmake --build "$build" -j 2 --target tintvale tintvale_fake_input tintvale_frame_probe >/dev/null; then
  die "could not build the KDE tier's tools in $build"
fi

# shellcheck source=tests/kde/desktop.sh
source "$here/desktop.sh"
# shellcheck source=tests/qt/window_checks.sh
source "$root/tests/qt/window_checks.sh"

python3_screen() { /usr/bin/python3 "$here/screen.py" "$@"; }
tmp=$(mktemp -d /tmp/tintvale-kde.XXXXXX)
on_exit rm -rf "$tmp"
show_logs() {
  local f
  for f in "$tmp"/stderr "$tmp"/kwin.log "$tmp"/portal-kde.log "$tmp"/frontend.log "$tmp"/input.err "$tmp"/reader.err; do
    [ -s "$f" ] && tail -n 15 "$f" | sed "s|^|  ${f##*/}: |" >&2
  done
  python3_screen png 0 0 2048 768 "$tmp/failed.png" 2>/dev/null && cp "$tmp/failed.png" "$root/build/kde-failed.png" &&
    echo "  the screen: build/kde-failed.png" >&2
}
on_die show_logs
fail_prefix="FAIL [kde]"

kde_env "$tmp"
start_bus
start_pipewire "$tmp"
start_kwin 2 1024x768
start_portal
start_input
start_reader

# What the program and the portal say to each other, and what the frontend answers: the tokens offered
# and the streams handed out are read from here.
dbus-monitor --session "interface='org.freedesktop.portal.ScreenCast'" \
  "type='signal',interface='org.freedesktop.portal.Request',member='Response'" \
  "type='signal',interface='org.freedesktop.portal.Session',member='Closed'" >"$tmp/bus.log" 2>&1 &
stop_at_exit $!

# Each monitor's picture: background, top-left pixel, bottom-right pixel, the one-pixel line at x = 512.
left_bg=204080 left_tl=FF0000 left_br=00FF00 left_line=FFFFFF
right_bg=806040 right_tl=0000FF right_br=FFFF00 right_line=000000
pattern_ready() { [ "$(grep -c '^ready' "$tmp/pattern.out")" -ge 2 ]; }
start_patterns() {
  : >"$tmp/pattern.out"
  GDK_BACKEND=wayland /usr/bin/python3 "$here/pattern.py" "0,0=$left_bg,$left_tl,$left_br,$left_line" \
    "1024,0=$right_bg,$right_tl,$right_br,$right_line" >"$tmp/pattern.out" 2>"$tmp/pattern.err" &
  pattern_pid=$!
  stop_at_exit "$pattern_pid"
  wait_for 20 pattern_ready || die "the pattern windows did not show: $(cat "$tmp/pattern.err")"
  wait_for 10 screen_is 1600 300 "#$right_bg" || die "KWin does not show the pattern windows"
}
screen_is() { [ "$(python3_screen pixel "$1" "$2")" = "$3" ]; }
start_patterns

# The program as a Plasma Wayland session starts it: it picks the portal itself.
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
main_window() { local w; for w in $(windows_titled Tintvale); do [ "$(size_of "$w")" = 282x60 ] && echo "$w"; done | head -n1; }
start_program() {
  XDG_SESSION_TYPE=wayland launch "$@"
}
# Left, top, width and height of the main window's client area in the layout (XWayland's root is the
# layout at scale 1).
client_geometry() {
  xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2}
                             /Height:/ {h=$2} END {print x, y, w, h}'
}
# A click on the main window, RX RY from its client area's top left.
click_window() {
  local X Y
  read -r X Y _ _ < <(client_geometry)
  input move $((X + $1)) $((Y + $2))
  input click
}

# --- The chooser: KDE's screen-sharing dialog, found by its window colour ---
chooser_box() { python3_screen find 0 0 2048 768 "$chooser_hex"; }
chooser_shown() { chooser_box >/dev/null; }
chooser_gone() { ! chooser_shown; }
# Its cards lie on the white frame: "Full Workspace" and "New Virtual Output" in the first row, the two
# monitors in the second, of which the frame's bottom strip shows the top. A chosen card takes the
# selection colour.
card_chosen() { [ "$(python3_screen pixel "$1" "$2")" != "#FFFFFF" ]; }
grant_in_chooser() {
  local bx by bw bh fx fy fw fh x y
  wait_for 30 chooser_shown || { bad "the screen-sharing chooser did not appear"; return 1; }
  read -r bx by bw bh < <(chooser_box)
  read -r fx fy fw fh < <(python3_screen find "$bx" "$by" "$bw" "$bh" FFFFFF) || { bad "no card frame in the chooser"; return 1; }
  y=$((fy + fh - 25))
  for x in $((fx + fw / 4)) $((fx + fw * 7 / 10)); do
    input move "$x" "$y"
    input click
    wait_for 5 card_chosen "$x" "$y" || { bad "the monitor card at $x,$y was not chosen"; return 1; }
  done
  # Enter is the dialog's Share button.
  input key 28
  wait_for 10 chooser_gone || { bad "the chooser did not close after Share"; return 1; }
}

# --- What the program shows ---
# The text boxes by their accessible names: the coordinates and the entry box.
coordinates_box=座標 entry_box=色コード
primary_is() { [ "$(xclip -o -selection primary 2>/dev/null; echo .)" = "$1." ]; }
primary_is_not() { ! primary_is "$1"; }
clipboard_is_not() { ! clipboard_is "$1"; }
# Puts TEXT into SELECTION (primary or clipboard) through xclip, which takes it in its own time (its
# background half does): waits until the selection holds it, so nothing the program copies after this
# call can be taken over by it.
give_away() {
  printf '%s' "$2" | xclip -i -selection "$1" >/dev/null 2>&1
  wait_for 10 "$1_is" "$2" || { bad "xclip did not take the $1 selection"; return 1; }
}
swatch() {
  local X Y
  read -r X Y _ _ < <(client_geometry)
  python3_screen pixel $((X + 30)) $((Y + 30))
}
swatch_is() { [ "$(swatch)" = "$1" ]; }
# The coordinate box (208,32 in the client area, 57x18) selected as a user selects it all, dragging
# from its left edge to past its right one (a text such as "-1024 767" is wider than the box), while the
# entry box holds "#"; PRIMARY is given away first. (Not a triple click: Qt counts clicks from the X
# events' times and places, and with KWin's fake pointer, which jumps, a triple click on the box selected
# one word in 5 of 10 tries.) Then a second "#": once the entry box holds "##", the program has handled
# the whole drag, and PRIMARY holds what it selected: in $copied.
coordinates_selected() {
  local X Y
  read -r X Y _ _ < <(client_geometry)
  give_away primary 'given away' || return 1
  input move $((X + 210)) $((Y + 41))
  input press
  input move $((X + 280)) $((Y + 41))
  input release
  input key 42 4
  shown_text "$pid" 10 "$entry_box" "##" || { bad "a second # left '$shown_last' in the entry box"; return 1; }
  primary_is_not 'given away' || { bad "dragging across the coordinate box selected nothing"; return 1; }
  copied=$(xclip -o -selection primary 2>/dev/null)
}
# KWin sends the pointer's place only when the pointer moves, and only into streams that run by then, and
# two monitors of one size are told apart only where XWayland knows the pointer too, over an X11 window.
# So once the sharing has started, and after the monitors are rearranged, the pointer first goes over the
# program's own window, as a user's does, moving there until the coordinate box shows its place (from the
# primary monitor's top left, at layout PRIMARY_X,0): the program has then placed both monitors.
pointer_over_window() {
  local primary_x=${1:-0} X Y x i end=$((SECONDS + 20))
  read -r X Y _ _ < <(client_geometry)
  for ((i = 0; SECONDS < end; i++)); do
    x=$((X + 150 + i % 2))
    input move "$x" $((Y + 50))
    shown_text "$pid" 1 "$coordinates_box" "$((x - primary_x))"$'\t'"$((Y + 50))" && return 0
  done
  bad "the pointer over the program's window at $x,$((Y + 50)) shows '$shown_last', expected '$((x - primary_x)) $((Y + 50))'"
  return 1
}
# The pointer at layout X,Y shows the coordinates SX SY. Each step waits for a sign that the program has
# seen the one before: the pointer moves, and the coordinate box, read over AT-SPI (which leaves sampling
# running), must come to hold SX<Tab>SY (a tick saw the pointer there: the box held other coordinates
# before, the last point's or its own place's); then "#" typed over the whole entry box pauses sampling,
# and the entry box must hold it (the program handled it; its preview turns the swatch black) before the
# pointer goes to the coordinate box to select it, as a user copies it. Returns with sampling on again
# (the entry box emptied and Enter).
coordinates_are() {
  local x=$1 y=$2 expected="$3"$'\t'"$4" copied
  input move "$x" "$y"
  shown_text "$pid" 20 "$coordinates_box" "$expected" ||
    { bad "the pointer at $x,$y shows '$shown_last', expected '$3 $4'"; return 1; }
  input key 29 30
  input key 42 4
  shown_text "$pid" 10 "$entry_box" "#" || { bad "typing # left '$shown_last' in the entry box"; return 1; }
  wait_for 10 swatch_is '#000000' || { bad "typing # did not turn the swatch black: it shows $(swatch)"; return 1; }
  coordinates_selected || return 1
  [ "$copied" = "$expected" ] || bad "the pointer at $x,$y: the coordinate box copies as '$(tr '\t' ' ' <<<"$copied")', expected '$3 $4'"
  # The entry box emptied and Enter: sampling goes on.
  input key 29 30
  input key 14
  input key 28
  [ "$case_ok" -eq 1 ]
}
# The colour under the pointer at layout X,Y (with the primary at the layout's origin, where the
# coordinates shown are X,Y): once the coordinate box, read over AT-SPI, holds them (a tick read the pixel
# there), the swatch must show it; then Enter puts it on the clipboard, given away first, so what is read
# back is that capture.
colour_is() {
  local x=$1 y=$2 expected=$3
  input move "$x" "$y"
  shown_text "$pid" 20 "$coordinates_box" "$x"$'\t'"$y" ||
    { bad "the pointer at $x,$y shows '$shown_last', expected '$x $y'"; return 1; }
  wait_for 10 swatch_is "$expected" || { bad "the pointer at $x,$y: the swatch shows $(swatch), expected $expected"; return 1; }
  give_away clipboard 'given away' || return 1
  input key 28
  wait_for 5 clipboard_is_not 'given away' || { bad "Enter with -c at $x,$y put nothing on the clipboard"; return 1; }
  clipboard_is "$expected" || { bad "Enter with -c at $x,$y put '$(xclip -o -selection clipboard 2>/dev/null)' on the clipboard, expected $expected"; return 1; }
}

# --- Cases: each records its verdict and the tier goes on ---
passed=0 failed=0 skipped=0 case_ok=1
# A failed check says why and keeps a picture of the screen as it was: build/kde-CASE.png.
bad() {
  echo "FAIL [$case_name]: $*"
  [ "$case_ok" -eq 1 ] && python3_screen png 0 0 2048 768 "$root/build/kde-$case_name.png" 2>/dev/null &&
    echo "  the screen: build/kde-$case_name.png"
  case_ok=0
}
run_case() {
  case_name=$1 case_ok=1
  echo "---- $case_name"
  "case_$1"
  local rc=$?
  if [ "$rc" -eq 77 ]; then
    skipped=$((skipped + 1)); echo "SKIP [$case_name]"
  elif [ "$case_ok" -eq 1 ] && [ "$rc" -eq 0 ]; then
    passed=$((passed + 1)); echo "PASS [$case_name]"
  else
    failed=$((failed + 1))
  fi
  # A case that failed half-way leaves no program behind: the next one starts its own.
  if [ "$case_ok" -ne 1 ] && [ -n "${pid:-}" ] && ! gone "$pid"; then stop "$pid"; pid=""; fi
}
# The cases after the first share one running program; one that finds none starts it (with the token,
# so without the chooser). Either the portal answers its Start, or the chooser shows and is granted again.
chooser_or_streams() { chooser_shown || [ "$(streams_started)" -gt "$1" ]; }
start_sharing() {
  local answers
  answers=$(streams_started)
  start_program -c
  wait_for 30 chooser_or_streams "$answers" || { bad "neither the chooser nor the portal's streams came"; return 1; }
}
need_program() {
  [ -n "${pid:-}" ] && ! gone "$pid" && return 0
  start_sharing || return 1
  if chooser_shown; then grant_in_chooser || return 1; fi
  return 0
}

# The portal's answers to Start (the ones that hand out streams), from the bus log.
streams_started() { grep -c 'string "streams"' "$tmp/bus.log"; }

case_chooser_grants_both_monitors() {
  start_program -c
  grant_in_chooser || return 1
  wait_for 10 test -f "$token_file" || { bad "no restore token was stored after the chooser"; return 1; }
  [ "$(stat -c %a "$token_file")" = 600 ] || bad "token file mode $(stat -c %a "$token_file")"
  grep -Eq '^[0-9a-f-]{36}$' "$token_file" || bad "the token file holds '$(cat "$token_file")'"
  first_token=$(cat "$token_file")
}

case_coordinates_follow_the_pointer() {
  need_program || return 1
  # The primary monitor (XWayland's primary output, at 0,0) and the one on its right. KDE gives each
  # stream a size and no position: the program places them from XWayland's outputs.
  xrandr | grep -q '^XWAYLAND0 connected primary 1024x768+0+0' || bad "unexpected layout: $(xrandr | grep connected)"
  pointer_over_window || return 1
  local p
  for p in "600 400 600 400" "0 0 0 0" "1 0 1 0" "1023 767 1023 767" "1024 0 1024 0" "1025 1 1025 1" \
           "1536 300 1536 300" "2047 767 2047 767"; do
    # shellcheck disable=SC2086
    coordinates_are $p || return 1
  done
}

# Does KWin put pictures into its monitor streams here? A second consumer of one of its nodes says,
# while the pattern windows draw again. KWin 5.27's virtual outputs never do, with OpenGL or QPainter
# compositing alike: an output's screen cast records a frame only on Output::outputChange
# (ScreencastManager::streamOutput), which in 5.27 only the DRM and the nested-Wayland backends emit, not
# the virtual one (VirtualEglLayer::endFrame); and the virtual backend has no textureForOutput of its own,
# so the default one (AbstractEglBackend's) blits from no framebuffer outside a paint. Only cursor
# metadata comes (ScreenCastStream::recordCursor). A stream with the cursor embedded records on every
# pointer move instead, and KWin then crashes (GLFramebuffer::blitFromFramebuffer).
kwin_nodes() {
  pw-dump 2>/dev/null | /usr/bin/python3 -c '
import json, sys
for o in json.load(sys.stdin):
    p = o.get("info", {}).get("props", {})
    if p.get("media.class") == "Stream/Output/Video" and p.get("node.name") == "kwin_wayland":
        print(o["id"])'
}
# Prints the sums over every node: "pictures P cursor_only C".
probes_streaming() { [ "$(cat "$tmp"/probe-*.out | grep -c '^streaming')" -ge "$1" ]; }
measure_pictures() {
  local node probes=() i
  rm -f "$tmp"/probe-*.out
  for node in $(kwin_nodes); do
    "$frame_probe" "$node" 4 --first >"$tmp/probe-$node.out" 2>&1 &
    probes+=($!)
  done
  [ ${#probes[@]} -gt 0 ] || { echo "no screen-cast node of KWin's"; return 1; }
  # Once every node streams to its probe (each then watches for 4 s): pointer moves over both monitors
  # and new damage from every pattern window, paced (a measurement, not a wait).
  wait_for 20 probes_streaming ${#probes[@]} || echo "not every node streamed to its probe"
  for i in 1 2 3 4 5 6; do
    kill -USR1 "$pattern_pid"
    input move $((300 + i)) 300
    input move $((1300 + i)) 300
    sleep 0.5
  done
  wait "${probes[@]}"
  cat "$tmp"/probe-*.out >"$tmp/probe.out"
  awk '/^pictures/ {p += $2; c += $4} END {print "pictures", p, "cursor_only", c}' "$tmp/probe.out"
}

# Measured once, with the program's streams running: "pictures P cursor_only C" over KWin's nodes.
pictures=""
measure_once() {
  [ -n "$pictures" ] && return 0
  pictures=$(measure_pictures)
  echo "second consumer of KWin's monitor streams: $pictures ($(grep -m1 'cursor-only' "$tmp/probe.out"))"
  [[ $pictures != "pictures 0 cursor_only 0" ]] || { bad "the second consumer saw no buffer at all"; pictures=""; return 1; }
}
no_pictures() { [[ $pictures == "pictures 0 "* ]]; }

case_colours_under_the_pointer() {
  need_program || return 1
  measure_once || return 1
  if no_pictures; then
    echo "KWin sends no picture in its monitor streams here, only cursor metadata: KWin 5.27's virtual outputs"
    echo "never emit Output::outputChange, the one signal its output screen casts record a frame on. The colours"
    echo "under the pointer, one-pixel accuracy and Enter with -c writing a colour cannot be checked here."
    return 77
  fi
  pointer_over_window || return 1
  colour_is 600 400 "#$left_bg" || return 1
  colour_is 512 400 "#$left_line" || return 1
  colour_is 511 400 "#$left_bg" || return 1
  colour_is 513 400 "#$left_bg" || return 1
  colour_is 0 0 "#$left_tl" || return 1
  colour_is 1023 767 "#$left_br" || return 1
  colour_is 1024 0 "#$right_tl" || return 1
  colour_is 1536 400 "#$right_line" || return 1
  colour_is 1535 400 "#$right_bg" || return 1
  colour_is 2047 767 "#$right_br" || return 1
}

# Without a picture a user must get no made-up colour: Enter leaves the entry box and the clipboard alone.
case_no_colour_without_a_picture() {
  need_program || return 1
  measure_once || return 1
  no_pictures || return 77
  give_away clipboard stale || return 1
  click_window 140 17
  input move 600 400
  # The entry box emptied, Enter, then z: once the entry box holds z alone, Enter has been handled and
  # wrote nothing.
  input key 29 30
  input key 14
  input key 28
  input key 44
  shown_text "$pid" 10 "$entry_box" z || bad "the entry box holds '$shown_last' after Enter without a picture and z"
  clipboard_is stale || bad "Enter without a picture put '$(xclip -o -selection clipboard)' on the clipboard"
  input key 14
}

above_state() { xprop -id "$wid" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE; }
not_above_state() { ! above_state; }
not_active() { ! active_is "$wid"; }
case_always_on_top() {
  local X Y inside cover_pid
  need_program || return 1
  read -r X Y _ _ < <(client_geometry)
  inside="$((X + 200)) $((Y + 50))"
  click_window 70 40
  wait_for 10 above_state || { bad "the check box did not put the window above others"; return 1; }
  # A Wayland window maximized on the same monitor and activated: the window stays on top of it.
  input move 900 700
  GDK_BACKEND=wayland /usr/bin/python3 "$here/pattern.py" --cover 10A050 >"$tmp/cover.out" 2>&1 &
  cover_pid=$!
  wait_for 20 screen_is 900 700 "#10A050" || { bad "the covering window did not show"; stop "$cover_pid"; return 1; }
  input click
  wait_for 10 not_active || bad "clicking the covering window did not activate it"
  # shellcheck disable=SC2086
  screen_is $inside "#10A050" && bad "the covering window hides the window kept on top"
  # And without the check, the activated window covers it: the check above can fail.
  click_window 70 40
  wait_for 10 not_above_state || bad "the check box did not clear the stay-above state"
  input move 900 700
  input click
  # shellcheck disable=SC2086
  wait_for 10 screen_is $inside "#10A050" || bad "without the check the covering window did not come above"
  stop "$cover_pid"
  wait_for 10 screen_is 900 700 "#$left_bg" || bad "the covering window did not go"
}

# The monitors rearranged while the program runs, as System Settings does (KWin's output management,
# here through kscreen-doctor): the primary moves right and the other monitor is now on its left. KDE's
# screen casts go on; the coordinates follow the new layout, negative on the left monitor.
layout() { KSCREEN_BACKEND_INPROCESS=1 QT_QPA_PLATFORM=wayland kscreen-doctor "$@" >"$tmp/kscreen.log" 2>&1; }
xwayland_primary_at() { xrandr | grep -q "^XWAYLAND0 connected primary 1024x768+$1+0"; }
case_monitor_left_of_the_primary() {
  need_program || return 1
  layout output.Virtual-0.position.1024,0 output.Virtual-1.position.0,0 || { bad "kscreen-doctor failed: $(cat "$tmp/kscreen.log")"; return 1; }
  wait_for 10 xwayland_primary_at 1024 || { bad "XWayland does not show the new layout: $(xrandr | grep connected)"; return 1; }
  pointer_over_window 1024 || return 1
  local p
  for p in "1124 100 100 100" "1024 0 0 0" "1023 0 -1 0" "100 100 -924 100" "0 767 -1024 767"; do
    # shellcheck disable=SC2086
    coordinates_are $p || break
  done
  stderr_quiet=$(grep -c 'sharing ended' "$tmp/stderr")
  [ "$stderr_quiet" -eq 0 ] || bad "the program says the sharing ended after the layout change"
  layout output.Virtual-0.position.0,0 output.Virtual-1.position.1024,0 || bad "kscreen-doctor failed: $(cat "$tmp/kscreen.log")"
  wait_for 10 xwayland_primary_at 0 || bad "the layout did not come back: $(xrandr | grep connected)"
  [ "$case_ok" -eq 1 ]
}

# KWin's own close box, at the right end of its title bar (Breeze), clicked like a person.
close_with_kwin_box() {
  local X Y W top
  read -r X Y W _ < <(client_geometry)
  top=$(xprop -id "$wid" _NET_FRAME_EXTENTS | awk -F'[=,]' '{print $4 + 0}')
  input move $((X + W - 18)) $((Y - top / 2))
  input click
  wait_for 20 exited || { bad "the program did not end after KWin's close box"; return 1; }
  wait "$pid"; local rc=$?
  pid=""
  [ "$rc" -eq 0 ] || bad "exit status $rc after the close box"
}
case_close_box() { need_program && close_with_kwin_box; }

case_token_used_again() {
  [ -n "${first_token:-}" ] || { bad "no token from the first start"; return 1; }
  # No chooser: the portal hands out the streams and the live coordinates come without anyone clicking.
  start_sharing || return 1
  chooser_shown && { bad "the chooser appeared although the token was stored"; return 1; }
  pointer_over_window || return 1
  coordinates_are 700 500 700 500 || return 1
  grep -q "string \"$first_token\"" "$tmp/bus.log" || bad "the stored token was not offered"
  grep -Eq '^[0-9a-f-]{36}$' "$token_file" || bad "no token kept after the second start"
  close_with_kwin_box
}

run_case chooser_grants_both_monitors
run_case coordinates_follow_the_pointer
run_case colours_under_the_pointer
run_case no_colour_without_a_picture
run_case always_on_top
run_case monitor_left_of_the_primary
run_case close_box
run_case token_used_again

echo
echo "kde: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
