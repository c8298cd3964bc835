#!/usr/bin/env bash
# WaylandTest.sh EXE: the real program on a Wayland desktop (weston, nested in the test display, which
# gives it keyboard and mouse) with XWayland beside it, as on Debian's default GNOME session.
# 1. Wayland and X both offered: the program takes the X side, captures on Enter, and mouse mode
#    tells the user that it cannot keep the cursor in.
# 2. Wayland alone: the program starts and keeps running.
set -euo pipefail
exe=$1
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "no weston or Xwayland: skipped"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/weston.log" ] && tail -5 "$work/weston.log" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done
}

export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=tempix-wayland-$$
# Nested in the test display, weston takes its keyboard and mouse from there.
weston --backend=x11-backend.so --width=1024 --height=768 --xwayland --socket="$socket" --idle-time=0 \
  >"$work/weston.log" 2>&1 &
pids+=($!)
listening() { grep -o 'xserver listening on display :[0-9]*' "$work/weston.log" >/dev/null; }
wait_for 10 listening || fail "weston did not start"
xdisplay=$(grep -m1 -o 'xserver listening on display :[0-9]*' "$work/weston.log" | grep -o ':[0-9]*')

# start DIR DISPLAY: the program copied into DIR, started there on the Wayland socket (and X display).
start() {
  mkdir -p "$1"
  cp "$exe" "$1/"
  (cd "$1" && WAYLAND_DISPLAY=$socket DISPLAY=$2 exec env -u GDK_BACKEND "$1/$(basename "$exe")") >"$1/run.log" 2>&1 &
  pids+=($!)
  pid=$!
}
x() { DISPLAY=$xdisplay "$@"; }
window() { x xdotool search --onlyvisible --name "$1" 2>/dev/null | sed -n 1p; }
up() { [ -n "$(window "$1")" ]; }
records() { echo $(( $(stat -c %s "$work/x/time.txt" 2>/dev/null || echo 0) / 35 )); }
has_records() { [ "$(records)" -eq "$1" ]; }

# 1. XWayland: the program's windows are X windows on weston's X server.
start "$work/x" "$xdisplay"
wait_for 30 up 'Tempix ver 1\.2 \(GMT' || fail "no main window on XWayland: $(cat "$work/x/run.log")"
xdotool search --class '^Weston Compositor$' windowactivate --sync 2>/dev/null || true
sleep 0.5
xdotool key Return
wait_for 5 has_records 1 || fail "Enter on XWayland: $(records) records"
xdotool key alt+m
wait_for 10 up '^Zmiana trybu pracy' || fail "Alt+M opened no mouse-mode box"
xdotool key Return
wait_for 10 up '^Blokada myszy' || fail "no lock window"
# XWayland confines to whichever window holds the pointer and moves no visible cursor: the program
# says that it cannot keep the cursor in, and captures on a click in the lock window all the same.
wait_for 10 up '^Brak blokady myszy' || fail "XWayland: mouse mode said nothing of the cursor it cannot keep in"
xdotool key Return
wait_for 10 eval '! up "^Brak blokady myszy"' || fail "Enter did not dismiss the word on the cursor"
x xdotool mousemove --window "$(window '^Blokada myszy')" 96 26 click 1
wait_for 5 has_records 2 || fail "a click in the lock window on XWayland: $(records) records"
kill "$pid"

# 2. Wayland alone.
start "$work/w" ""
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program ended on Wayland alone: $(cat "$work/w/run.log")"
echo "wayland ok"
