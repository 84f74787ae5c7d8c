#!/usr/bin/env bash
# Tintvale's Windows program from the outside, under wine64 in an X server with openbox: the window, the
# capture to the X clipboard in both formats, copying the coordinates, the same text pasted over itself,
# the always-on-top switch, the About box, the system information launcher with and without its registry
# values, the end of the process on close, and coordinates from the primary monitor.
# Usage (inside scripts/with-x.sh): blackbox.sh TINTVALE.EXE PROBE.EXE TEST_TOOL.EXE
set -euo pipefail
exe=$1 probe=$2 tool=$3
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
# Each key waits for the menu to be up (before that it would go to the entry box), and the next click for
# the menu to be gone.
menu_closed() { ! probe menu; }
menu_key() { xdotool click 3 && wait_for 5 probe menu && xdotool key "$1" && wait_for 5 menu_closed; }
menu_key a || fail "the coordinate box's context menu did not open for Select All"
menu_key c || fail "the coordinate box's context menu did not open for Copy"
wait_for 5 clipboard_is "$((cx + 236))	$((cy + 41))" && pass "coordinates copied with a tab" ||
  fail "coordinates copied as '$(xclip -o -selection clipboard 2>/dev/null | od -c | head -n2)'"

# The text the entry box holds, pasted over itself, previews and pauses like any other colour text.
swatch() { import -window root -crop 1x1+$((cx + 30))+$((cy + 30)) -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
swatch_is() { [ "$(swatch)" = "$1" ]; }
swatch_is_not() { [ "$(swatch)" != "$1" ]; }
xdotool mousemove 700 500
wait_for 5 coordinates_are 700 500 || fail "coordinates not followed onto the colour"
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

# ---------------------------------------------------------------- the About box and its launcher
about='Tintvaleのﾊﾞｰｼﾞｮﾝ情報'
open_about() {
  xdotool windowactivate --sync "$main_x" key ctrl+a key Home key shift+End key BackSpace
  xdotool type --delay 20 '/info'
  xdotool key Return
  wait_for 10 xdotool search --name "^$about\$" >/dev/null 2>&1
}
open_about && pass "/info opens the About box" || fail "no About box"
probe texts "$about" | grep -q 'ﾊﾞｰｼﾞｮﾝ 1.5.0' && pass "About box version" || fail "About box version"

# No values in the registry: the message box.
"$TINTVALE_WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /f >/dev/null 2>&1 || true
about_x=$(xdotool search --name "^$about\$" | head -1)
xdotool windowactivate --sync "$about_x" key alt+s
if wait_for 10 message_shown 'ｼｽﾃﾑ情報を使用できません'; then
  pass "values absent: the message box"
  xdotool key Return
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

# ---------------------------------------------------------------- a paste between the ticks
# A colour pasted while sampling runs stays on show, however the paste falls between the ticks: over the
# painted colour, paste, then Enter (which captures that colour and resumes sampling), again and again.
if start_app; then
  read -r cx cy < <(client_origin)
  printf '#0A00AB' | xclip -i -selection clipboard >/dev/null 2>&1
  xdotool mousemove 700 500
  xdotool windowactivate --sync "$main_x"
  pasted=0
  for i in $(seq "${TINTVALE_PASTES:-100}"); do
    wait_for 10 swatch_is '#2080E0' || { fail "paste $i: the swatch shows $(swatch), not the colour under the pointer"; break; }
    xdotool key Home key shift+End key ctrl+v
    wait_for 5 swatch_is '#0A00AB' || { fail "paste $i: the swatch shows $(swatch), not the pasted #0A00AB"; break; }
    pasted=$i
    xdotool key Return
  done
  [ "$pasted" -eq "${TINTVALE_PASTES:-100}" ] && pass "$pasted pastes between the ticks stay on show"
  close_app || fail "pastes: process still running after close"
fi

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
