#!/usr/bin/env bash
# Tintvale's Windows program from the outside, under wine64 in an X server with openbox: the window, the
# capture to the X clipboard in both formats, copying the coordinates, the same text pasted over itself,
# the always-on-top switch, Alt+arrow steps of the pointer, what a screen reader's MSAA client reads, the
# About box (above the main window on top, the keyboard back in the entry box after OK), the system
# information launcher with and without its registry values, the end of the process on close, and
# coordinates from the primary monitor.
# Usage (inside scripts/with-x.sh): blackbox.sh TINTVALE.EXE PROBE.EXE TEST_TOOL.EXE MSAA_CLIENT.EXE
set -euo pipefail
exe=$1 probe=$2 tool=$3 msaa=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/wine/probe.sh
source "$here/probe.sh" "$probe"
# A command that fails outside a check ends the run: say where.
trap 'echo "blackbox: stopped by a failing command at line $LINENO"' ERR

drive_c=$WINEPREFIX/drive_c
app=""
main_x=""

start_app() {
  # No inherited pipe may outlive the test: ctest waits for every holder of its output to close it.
  "$TINTVALE_WINE" "$exe" "$@" </dev/null >/dev/null 2>>"$log" &
  app=$!
  stop_at_exit "$app"
  main_x=""
  wait_for 15 find_main_window || { fail "no window for: $*"; return 1; }
  # The coordinate box fills at the first tick: the program is running its loop.
  wait_for 10 coordinates_shown || { fail "no coordinates shown"; return 1; }
}

find_main_window() {
  main_x=$(xdotool search --all --onlyvisible --pid "$app" --name '^Tintvale$' 2>/dev/null | head -1 || true)
  [ -n "$main_x" ]
}
coordinates_shown() { probe texts Tintvale | grep -Eq '^Edit 1002 -?[0-9]+[^0-9-]+-?[0-9]+$'; }
not_above() { ! xprop -id "$main_x" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
message_shown() { probe dialog Tintvale | grep -q "$1"; }

# The client area's top left on the screen: Wine's X window is the client area.
client_origin() {
  xwininfo -id "$main_x" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'
}

close_app() {
  xdotool windowactivate --sync "$main_x" key --clearmodifiers alt+F4
  wait_for 10 gone "$app"
}

# ---------------------------------------------------------------- the window
start_app
title=$(xdotool getwindowname "$main_x")
[ "$title" = "Tintvale" ] && pass "title" || fail "title '$title'"
size=$(probe client Tintvale)
[ "$size" = "282 60" ] && pass "client area 282x60" || fail "client area '$size'"
probe texts Tintvale | grep -q '^Button [0-9]* 常に手前に表示$' && pass "check box caption" || fail "check box caption"
probe texts Tintvale | grep -q '^Static [0-9]* 座標$' && pass "label caption" || fail "label caption"
wm_state=$(xprop -id "$main_x" _NET_WM_STATE)
case $wm_state in *ABOVE*) fail "on top at start: $wm_state" ;; *) pass "not on top at start" ;; esac
close_app && pass "close box ends the process" || fail "process still running after close"

# ---------------------------------------------------------------- capture to the clipboard
probe_paint 2080E0
for row in "-c|#2080E0" "-d -c|32,128,224" "-C -D|32,128,224" "-display :1 -c|32,128,224"; do
  args=${row%%|*} want=${row#*|}
  # shellcheck disable=SC2086
  start_app $args || continue
  printf 'stale' | xclip -i -selection clipboard >/dev/null 2>&1
  xdotool mousemove 700 500
  wait_for 5 coordinates_are 700 500 ||
    fail "$args: coordinates not followed"
  xdotool windowactivate --sync "$main_x" key Return
  wait_for 5 clipboard_is "$want" && pass "$args: clipboard '$want'" ||
    fail "$args: clipboard '$(xclip -o -selection clipboard 2>/dev/null)', want '$want'"
  got=$(entry_text)
  [ "$got" = "$want" ] && pass "$args: entry box" || fail "$args: entry box '$got'"
  close_app || fail "$args: process still running after close"
done

start_app
printf 'stale' | xclip -i -selection clipboard >/dev/null 2>&1
xdotool windowactivate --sync "$main_x" key Return
wait_for 5 entry_is '#2080E0' && pass "no -c: entry box" || fail "no -c: entry box '$(entry_text)'"
clipboard_is stale && pass "no -c: clipboard untouched" || fail "no -c: clipboard changed"

# ---------------------------------------------------------------- the coordinate box and the entry box
# The context menu's Select All and Copy on the coordinate box (the box sends the focus back to the entry
# box, so the menu is all a user has there): x, a tab, y.
read -r cx cy < <(client_origin)
# Text1 is at 3120,480 twips: 208,32 pixels, 57x18.
xdotool mousemove $((cx + 236)) $((cy + 41))
wait_for 5 coordinates_are $((cx + 236)) $((cy + 41)) || fail "coordinates not followed over the box"
printf 'stale' | xclip -i -selection clipboard >/dev/null 2>&1
# Each key goes to the menu once it is open, and the next menu opens only after the last one's command ran.
menu_open() { probe menu Tintvale; }
menu_closed() { ! probe menu Tintvale; }
for key in a c; do
  xdotool click 3
  wait_for 5 menu_open || fail "no context menu for '$key'"
  xdotool key "$key"
  wait_for 5 menu_closed || fail "the context menu stayed open after '$key'"
done
wait_for 5 clipboard_is "$((cx + 236))	$((cy + 41))" && pass "coordinates copied with a tab" ||
  fail "coordinates copied as '$(xclip -o -selection clipboard 2>/dev/null | od -c | head -n2)'"

# The text the entry box holds, pasted over itself, previews and pauses like any other colour text.
swatch() { import -window root -crop 1x1+$((cx + 30))+$((cy + 30)) -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
swatch_is() { [ "$(swatch)" = "$1" ]; }
swatch_is_not() { [ "$(swatch)" != "$1" ]; }
xdotool mousemove 700 500
xdotool windowactivate --sync "$main_x" key Return
wait_for 5 entry_is '#2080E0' || fail "no capture before the paste: '$(entry_text)'"
xdotool mousemove 20 780
wait_for 5 swatch_is_not '#2080E0' || fail "the swatch did not follow the pointer off the colour"
printf '#2080E0' | xclip -i -selection clipboard >/dev/null 2>&1
xdotool windowactivate --sync "$main_x" key Home key shift+End key ctrl+v || true
wait_for 5 swatch_is '#2080E0' && pass "the same text pasted over itself previews it" ||
  fail "the swatch shows $(swatch) after pasting the text the entry box holds"
# Enter resumes sampling; the next capture over the colour leaves the entry box as the next part expects.
xdotool windowactivate --sync "$main_x" key Return
xdotool mousemove 700 500
wait_for 5 coordinates_are 700 500 || fail "sampling did not resume after Enter"
xdotool key Return
wait_for 5 entry_is '#2080E0' || fail "entry box '$(entry_text)' after the capture over the colour"

# ---------------------------------------------------------------- always on top
read -r cx cy < <(client_origin)
above() { xprop -id "$main_x" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
# Check1 is at 960,480 twips: 64,32 pixels.
xdotool mousemove $((cx + 70)) $((cy + 40)) click 1
wait_for 5 above && pass "check box puts the window on top" || fail "not on top after the click"
xdotool mousemove $((cx + 70)) $((cy + 40)) click 1
wait_for 5 not_above &&
  pass "second click takes it back" || fail "still on top after the second click"
# The focus went back to the entry box: typing lands there, at the caret a set text leaves at the start.
xdotool type --delay 20 '#ABCDEF'
wait_for 5 entry_is '#ABCDEF#2080E0' &&
  pass "typing after the click goes to the entry box" || fail "entry box after the click: '$(entry_text)'"

# ---------------------------------------------------------------- Alt+arrow steps of the pointer
# One pixel each (Alt+Shift+arrow, ten, is openbox's own key for moving windows between desktops: the
# backend tests press it). The program has seen each step when it shows the new coordinates.
pointer_at() { [ "$(xdotool getmouselocation | cut -d' ' -f1,2)" = "x:$1 y:$2" ]; }
xdotool windowactivate --sync "$main_x" key Return  # a capture: sampling again after the typed colour
xdotool mousemove 700 500
wait_for 5 coordinates_are 700 500 || fail "coordinates not followed before the Alt+arrow steps"
xdotool windowactivate --sync "$main_x"
for row in "alt+Right 701 500" "alt+Down 701 501" "alt+Left 700 501" "alt+Up 700 500" "Right 700 500" "alt+Right 701 500"; do
  read -r key x y <<<"$row"
  xdotool key "$key"
  if wait_for 5 pointer_at "$x" "$y" && wait_for 5 coordinates_are "$x" "$y"; then
    pass "$key: pointer at $x,$y"
  else
    fail "$key: pointer at $(xdotool getmouselocation | cut -d' ' -f1,2), coordinates '$(probe texts Tintvale | grep '^Edit 1002')', expected $x,$y"
  fi
done
# The keys went nowhere else: typing after them still reaches the entry box. (Not Ctrl+A: Wine's edit
# reports it as an edit, which previews the captured colour and pauses the sampling.)
xdotool key Home key shift+End key BackSpace
xdotool type --delay 20 'abc'
wait_for 5 entry_is 'abc' && pass "typing after Alt+arrow goes to the entry box" ||
  fail "entry box after Alt+arrow: '$(entry_text)'"

# ---------------------------------------------------------------- what a screen reader reads (MSAA)
# The pointer stands still over the colour window: the swatch is named by that colour.
msaa() { "$TINTVALE_WINE" "$msaa" "$1" 2>>"$log" | tr -d '\r'; }
xdotool mousemove 700 500
wait_for 5 coordinates_are 700 500 || fail "coordinates not followed before reading the names"
read_is() { msaa "$1" | grep -q -x -- "$2"; }
for row in 'window 10 [0-9a-f]* name=Tintvale|the main window' \
           '1004 40 [0-9a-f]* name=#2080E0 value=|the swatch, a graphic named by its colour' \
           '1003 42 [0-9a-f]* name=色コード value=abc|the entry box' \
           '1002 42 [0-9a-f]* name=座標 value=700	500|the coordinate box, named by its label, with the tab' \
           '1001 [0-9]* [0-9a-f]* name=常に手前に表示 value=|the check box' \
           '1007 [0-9]* [0-9a-f]*[89a-f][0-9a-f][0-9a-f][0-9a-f] name=Label2 value=|Label2, invisible' \
           '1006 [0-9]* [0-9a-f]*[89a-f][0-9a-f][0-9a-f][0-9a-f] name=Label3 value=|Label3, invisible'; do
  want=${row%%|*} what=${row#*|}
  read_is Tintvale "$want" && pass "MSAA: $what" || fail "MSAA: $what: no line '$want' in: $(msaa Tintvale | tr '\n' ';')"
done

# ---------------------------------------------------------------- the About box above the main window on top
about='Tintvaleのﾊﾞｰｼﾞｮﾝ情報'
open_about() {
  xdotool windowactivate --sync "$main_x" key ctrl+a key Home key shift+End key BackSpace
  xdotool type --delay 20 '/info'
  xdotool key Return
  wait_for 10 xdotool search --name "^$about\$" >/dev/null 2>&1
}
about_gone() { ! xdotool search --name "^$about\$" >/dev/null 2>&1; }
focus_is() { [ "$(probe focus Tintvale)" = "$1" ]; }
# Bottom to top: the About box after the main window.
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | while read -r w; do echo $((w)); done; }
about_above() { [ "$(stacking | grep -x -e "$main_x" -e "$about_x" | tail -n1)" = "$about_x" ]; }
xdotool mousemove $((cx + 70)) $((cy + 40)) click 1
wait_for 5 above || fail "not on top before the About box"
if open_about; then
  about_x=$(xdotool search --name "^$about\$" | head -1)
  transient=$(xprop -id "$about_x" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*' || true)
  [ $((transient)) -eq "$main_x" ] && pass "the About box is the main window's transient" ||
    fail "WM_TRANSIENT_FOR of the About box '$transient', main window $main_x"
  wait_for 5 about_above && pass "the About box above the main window on top" ||
    fail "stacking (bottom to top) $(stacking | tr '\n' ' '), main $main_x, About $about_x"
  xprop -id "$about_x" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR &&
    fail "the About box lost its taskbar button" || pass "the About box keeps its taskbar button"
  read_is "$about" 'window 18 [0-9a-f]* name=Tintvaleのﾊﾞｰｼﾞｮﾝ情報' && pass "MSAA: the About box is a dialog" ||
    fail "MSAA: the About box: $(msaa "$about" | head -n1)"
  read_is "$about" '1001 40 [0-9a-f]* name=Tintvaleのアイコン value=' && pass "MSAA: the About box's icon" ||
    fail "MSAA: the About box's icon: $(msaa "$about" | grep '^1001 ')"
  read_is "$about" '1000 42 [0-9a-f]* name=連絡先 value=Mail: .*' && pass "MSAA: the contact line" ||
    fail "MSAA: the contact line: $(msaa "$about" | grep '^1000 ')"
  # The main window is not blocked: /info there again shows the same About box, still above it.
  open_about || fail "no About box after the second /info"
  [ "$(xdotool search --name "^$about\$" | wc -l)" -eq 1 ] && pass "one About box after a second /info" ||
    fail "$(xdotool search --name "^$about\$" | wc -l) About boxes after a second /info"
  wait_for 5 about_above && pass "still above the main window once that was active" ||
    fail "below the main window once that was active: $(stacking | tr '\n' ' ')"
  # OK closes it, and the keyboard is back in the entry box (which holds "/info").
  xdotool windowactivate --sync "$about_x" key Return
  wait_for 10 about_gone || fail "OK did not close the About box"
  wait_for 5 focus_is "Edit 1003" && pass "after OK the focus is in the entry box" ||
    fail "after OK the focus is at '$(probe focus Tintvale)'"
  xdotool type --delay 20 'ok'
  wait_for 5 entry_is '/infook' && pass "typing after OK goes to the entry box" ||
    fail "entry box after OK and typing: '$(entry_text)'"
else
  fail "no About box above the main window on top"
fi
xdotool mousemove $((cx + 70)) $((cy + 40)) click 1
wait_for 5 not_above || fail "still on top after the About box"

# ---------------------------------------------------------------- the About box and its launcher
open_about && pass "/info opens the About box" || fail "no About box"
probe texts "$about" | grep -q 'ﾊﾞｰｼﾞｮﾝ 1.5.0' && pass "About box version" || fail "About box version"

# No values in the registry: the message box.
"$TINTVALE_WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /f >/dev/null 2>&1 || true
about_x=$(xdotool search --name "^$about\$" | head -1)
xdotool windowactivate --sync "$about_x" key alt+s
# The message box is the program's second window titled Tintvale; Enter goes to it once it is active.
message_window() { xdotool search --all --onlyvisible --pid "$app" --name '^Tintvale$' | grep -v -x "$main_x" | head -1; }
message_gone() { [ -z "$(message_window)" ]; }
if wait_for 10 message_shown 'ｼｽﾃﾑ情報を使用できません'; then
  pass "values absent: the message box"
  wait_for 10 eval '! message_gone' || fail "the message box is not on the screen"
  xdotool windowactivate --sync "$(message_window)" key Return
  wait_for 10 message_gone || fail "Enter did not close the message box"
else
  fail "values absent: no message box"
fi

# The tool named in the registry, at a path with a blank and a decoy at the first blank.
mkdir -p "$drive_c/Tint Tools"
cp "$tool" "$drive_c/Tint Tools/tool.exe"
cp "$tool" "$drive_c/Tint.exe"
rm -f "$drive_c/Tint Tools/tool.exe.ran" "$drive_c/Tint.exe.ran"
# regedit reads UTF-16 with a byte order mark; reg add would mangle anything beyond ASCII.
seed_registry() {
  local reg
  reg=$(mktemp --suffix=.reg)
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\%s]\r\n"%s"="%s"\r\n' "$1" "$2" "$3" |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  "$TINTVALE_WINE" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>>"$log"
  rm -f "$reg"
}
seed_registry 'Shared Tools\MSINFO' PATH 'C:\\Tint Tools\\tool.exe'
xdotool windowactivate --sync "$about_x" key alt+s
if wait_for 10 test -f "$drive_c/Tint Tools/tool.exe.ran"; then
  line=$(iconv -f UTF-16LE -t UTF-8 "$drive_c/Tint Tools/tool.exe.ran")
  [ "$line" = '"C:\Tint Tools\tool.exe"' ] && pass "registry path started, quoted" || fail "tool command line '$line'"
else
  fail "the tool named in the registry did not start"
fi
[ ! -e "$drive_c/Tint.exe.ran" ] && pass "no decoy at the first blank" || fail "the decoy ran"

# Without PATH, the folder under "Shared Tools Location" and the tool's own name in it.
"$TINTVALE_WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /f </dev/null >/dev/null 2>&1 || true
cp "$tool" "$drive_c/Tint Tools/MSINFO32.EXE"
rm -f "$drive_c/Tint Tools/MSINFO32.EXE.ran"
seed_registry 'Shared Tools Location' MSINFO 'C:\\Tint Tools'
xdotool windowactivate --sync "$about_x" key alt+s
wait_for 10 test -f "$drive_c/Tint Tools/MSINFO32.EXE.ran" && pass "tool found in the Shared Tools Location folder" ||
  fail "the tool in the Shared Tools Location folder did not start"
"$TINTVALE_WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /v MSINFO /f </dev/null >/dev/null 2>&1 || true

# Closing the main window closes the About box too and ends the program.
close_app && pass "closing with the About box open ends the process" || fail "process still running"
xdotool search --name "^$about\$" >/dev/null 2>&1 && fail "About box left behind" || true
"$TINTVALE_WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /f >/dev/null 2>&1 || true

# ---------------------------------------------------------------- scaled display
# At 144 dots per inch the twip layout gives a client area half as large again.
dpi_key='HKCU\Control Panel\Desktop'
"$TINTVALE_WINE" reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>>"$log"
if start_app; then
  size=$(probe client Tintvale)
  [ "$size" = "423 90" ] && pass "client area 423x90 at 144 dpi" || fail "client area at 144 dpi '$size'"
  close_app || fail "144 dpi: process still running after close"
fi
"$TINTVALE_WINE" reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 96 /f </dev/null >/dev/null 2>>"$log"

# ---------------------------------------------------------------- coordinates from the primary monitor
# Two monitors side by side, the right one primary: a point on the left one has a negative x. Wine takes
# its monitors from Xinerama, which the X server fills from these RandR monitors, once told not to use
# RandR (Xvfb's RandR has no providers, so Wine would see one monitor); its X11 driver reads both when
# its processes start.
x11_key='HKCU\Software\Wine\X11 Driver'
restart_wine() { wine_stop; wine_start; }
if command -v xrandr >/dev/null; then
  xrandr --setmonitor tintvale-left 640/169x800/211+0+0 none >/dev/null || fail "xrandr --setmonitor"
  xrandr --setmonitor '*tintvale-right' 640/169x800/211+640+0 screen >/dev/null || fail "xrandr --setmonitor"
  "$TINTVALE_WINE" reg add "$x11_key" /v UseXRandR /t REG_SZ /d N /f </dev/null >/dev/null 2>>"$log"
  restart_wine
  if start_app; then
    xdotool mousemove 100 100
    wait_for 5 coordinates_are -540 100 && pass "left of the primary monitor: -540 100" ||
      fail "root 100,100 left of the primary monitor shows '$(probe texts Tintvale | grep '^Edit 1002')'"
    close_app || fail "two monitors: process still running after close"
  fi
  "$TINTVALE_WINE" reg delete "$x11_key" /v UseXRandR /f </dev/null >/dev/null 2>>"$log" || true
  xrandr --delmonitor tintvale-right >/dev/null || true
  xrandr --delmonitor tintvale-left >/dev/null || true
  restart_wine
fi

if wine_crashed; then
  fail "Wine reported a crash"
fi
echo "blackbox: $failures failure(s)"
[ "$failures" -eq 0 ]
