#!/usr/bin/env bash
# Linux fault checks of the real program, in a private Xvfb + openbox:
#  1. A clipboard manager that stops answering (owns CLIPBOARD_MANAGER, then SIGSTOPped): captures with "-c"
#     still land on the clipboard and sampling goes on; prints how long closing the window takes, next to
#     a manager that answers and to no manager at all.
#  2. The program writes no file: strace of a run with a capture and the About box; any file created,
#     written, renamed or removed outside /dev, /proc and the runtime directory is listed and fails.
# Usage: tests/qt/faults.sh BUILD_DIR   (BUILD_DIR holds tintvale and its tests; scripts/with-x.sh is used)
# With a sanitizer build (build/linux-asan) any sanitizer report in the program's output fails too.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
if [ "${2:-}" != --inside ]; then exec scripts/with-x.sh "$0" "$(cd "$1" && pwd)" --inside; fi
build=$1
program=$build/tintvale
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
tools=$build/tests/qt
work=$(mktemp -d)
on_exit rm -rf "$work"
clip_is() { [ "$(timeout 2 xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
capture_is() { xdotool key Return; clip_is "$1"; }
# The pointer stands on the root, away from the program's window; each capture is of a new root colour.
xdotool mousemove 600 700

# Starts the program with -c, waits for its window and gives it the focus; sets $prog.
start_program() {
  "$program" -c >"$work/program.log" 2>&1 & prog=$!
  stop_at_exit "$prog"
  local w
  w=$(timeout 20 xdotool search --sync --onlyvisible --pid "$prog" | head -1)
  [ -n "$w" ] || { fail "no window"; return 1; }
  xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
  window=$w
}
# Closes the window as the close box does (openbox's Alt+F4 sends WM_DELETE_WINDOW) and prints the ms
# until the window is gone from the screen and until the process has ended (deadline 20 s each).
no_window() { ! xdotool search --onlyvisible --pid "$prog" >/dev/null 2>&1; }
close_ms() {
  local t0 hidden ended
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  t0=$(now_ms)
  xdotool key alt+F4
  if wait_for 20 no_window; then hidden=$(( $(now_ms) - t0 )); else hidden=never; fi
  if wait_for 20 gone "$prog"; then ended=$(( $(now_ms) - t0 )); else ended=never; fi
  echo "$hidden $ended"
}

sanitizer_check() {
  if grep -Eq 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/program.log"; then
    fail "$1: sanitizer report"; grep -E -A15 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/program.log" | head -40
  fi
}

# --- 1. Clipboard manager that stops answering
manager_case() {  # $1: none | answering | stopped
  local mode=$1 mgr="" colour ok=1 t0 t1
  if [ "$mode" != none ]; then
    "$tools/tintvale_clip_manager_stub" >"$work/mgr.out" & mgr=$!
    stop_at_exit "$mgr"
    wait_for 10 grep -q ready "$work/mgr.out" || { fail "$mode: stub manager did not start"; return; }
    [ "$mode" = stopped ] && kill -STOP "$mgr"
  fi
  start_program || return
  # Three captures of three root colours; each must reach the clipboard, read back from the program.
  for colour in '#2A5B0C' '#C0FFEE' '#7F1A99'; do
    xsetroot -solid "$colour"
    t0=$(now_ms)
    if wait_for 5 capture_is "$colour"; then
      t1=$(now_ms); echo "  $mode: capture of $colour on the clipboard after $((t1 - t0)) ms"
    else
      ok=0; fail "$mode: the capture of $colour never reached the clipboard (got '$(timeout 2 xclip -o -selection clipboard 2>/dev/null)')"
    fi
  done
  local hidden ms; read -r hidden ms < <(close_ms)
  echo "  $mode: after the close box: window gone in $hidden ms, process ended in $ms ms;" \
    "clipboard then holds '$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)'"
  grep -i clipboard "$work/program.log" | sed "s/^/  $mode: program says: /" || true
  sanitizer_check "$mode"
  if [ "$mode" = stopped ] && [ "$ms" = never ]; then fail "stopped manager: the program never ended"; fi
  if [ "$mode" != stopped ] && { [ "$ms" = never ] || [ "$ms" -gt 2000 ]; }; then fail "$mode: exit took $ms ms"; fi
  stop "$mgr"
  [ $ok = 1 ] && echo "  $mode: sampling and captures went on"
}
echo "1. Clipboard manager"
manager_case none
manager_case answering
manager_case stopped

# --- 2. Files the program writes
echo "2. Files written (strace)"
runtime=${XDG_RUNTIME_DIR:-/nonexistent}
# A first run on a fresh account: an empty home, so no cache or settings folder exists beforehand.
mkdir "$work/home"
HOME=$work/home XDG_CACHE_HOME='' XDG_CONFIG_HOME='' XDG_DATA_HOME='' strace -f -qq -o "$work/trace" -e trace=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat \
  "$program" -c >"$work/program.log" 2>&1 & prog=$!
stop_at_exit "$prog"
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tintvale$' | head -1)
if [ -n "$window" ]; then
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xsetroot -solid '#0A00AB'
  wait_for 10 capture_is '#0A00AB' || fail "strace run: capture did not reach the clipboard"
  xdotool key ctrl+a type '/info'
  xdotool key Return
  traced=$(xdotool getwindowpid "$window")
  windows_of() { [ "$(xdotool search --onlyvisible --pid "$traced" 2>/dev/null | wc -l)" -ge 2 ]; }
  if wait_for 10 windows_of; then echo "  About box opened"; else fail "About box did not open"; fi
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xdotool key alt+F4
fi
wait_for 20 gone "$prog" || { kill "$prog"; fail "strace run did not end"; }
sanitizer_check "strace run"
traced_calls=$(grep -c 'open' "$work/trace" || true)
[ "$traced_calls" -gt 50 ] || fail "strace saw only $traced_calls opens: the trace did not work"
# Successful calls that create, write, move or remove a file: open* with a write or create flag, and the
# rest whenever they did not fail.
grep -E '^[0-9]+ +(open|openat|openat2|creat)\(' "$work/trace" | grep -E 'O_(WRONLY|RDWR|CREAT|TRUNC)|creat\(' \
  | grep -v '= -1 ' > "$work/writes" || true
grep -E '^[0-9]+ +(mkdir|mkdirat|rename|renameat|renameat2|unlink|unlinkat|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat)\(' "$work/trace" \
  | grep -v '= -1 ' >> "$work/writes" || true
grep -Ev "\"(/dev/|/proc/|$runtime/)" "$work/writes" > "$work/outside" || true
echo "  fresh home afterwards: $(find "$work/home" -mindepth 1 | wc -l) entries $(find "$work/home" -mindepth 1 | head -5 | tr '\n' ' ')"
echo "  traced opens: $traced_calls; calls that write: $(wc -l < "$work/writes"), outside /dev, /proc and $runtime: $(wc -l < "$work/outside")"
sed 's/^/    /' "$work/writes" | head -20
if [ -s "$work/outside" ]; then fail "files written outside the allowed places:"; sed 's/^/    /' "$work/outside"; fi

if [ "$failures" -eq 0 ]; then echo "faults: pass"; else echo "faults: FAIL"; exit 1; fi
