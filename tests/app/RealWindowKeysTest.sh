#!/usr/bin/env bash
# RealWindowKeysTest.sh EXE [LAUNCHER...]: the real program (Tempix, or Tempix.exe through a launcher
# such as scripts/wine-run) driven by keys, under a window manager when one is at hand.
# 1. The capture key Enter and a time log that cannot be written: on Linux a folder in its place,
#    under wine held open by another program that lets others only read it, as a spreadsheet does.
#    The first capture's error report comes once; the Enter that dismisses it captures nothing; the
#    captures after it open no box, and the user log has them all. Once the log can be written, it
#    holds every record, in order, within 2 s. In a second such episode a held Enter captures on
#    every repeat and the report waits until the key is up; the program is then killed with records
#    waiting, and its next start writes them first.
# 2. A stored key index below 0: no key captures, and closing writes -1 back.
# 3. The keyboard round the windows: Alt mnemonics and arrows with the focus in the key choice,
#    and Enter captures again after each secondary window closes (never "Synchronizuj" or "Start").
#    The live clock moves within 100 ms, shown and under a box; minimised, the caption keeps the
#    second; restored, the window shows the right second at once.
# 4. Text at 150 % (GNOME's text scale 1.5, Windows at 144 DPI): the windows grow with their text, and
#    mouse mode still centres the cursor in the lock window and captures there.
# 5. Linux, as root: the time log on a full disk (a small tmpfs the test mounts) and then made
#    immutable (chattr +i), each an episode as in run 1; strace sees every append to a log flushed
#    (fdatasync on its descriptor after the write, before the close).
# Runs 2 to 4 are under the Polish locale when the machine has it, run 1 under "C": the files are
# the same bytes under both.
# A picture of every window is kept in $TEMPIX_SCREENSHOTS, when that is set.
set -euo pipefail
exe=$1; shift
launcher=("$@")
name=$(basename "$exe")
work=$(mktemp -d)
pids=()
pid=
stop_program() {
  if [ ${#launcher[@]} -gt 0 ] && [ -n "${TEMPIX_WINEPREFIX:-}" ]; then
    WINEPREFIX=$TEMPIX_WINEPREFIX wineserver -k 2>/dev/null || true
  fi
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}
# A crash: nothing of the program gets to run.
kill_program() {
  if [ ${#launcher[@]} -gt 0 ]; then
    WINEPREFIX=$TEMPIX_WINEPREFIX wineserver -k 2>/dev/null || true
  else
    kill -9 "$pid"
  fi
  wait "$pid" 2>/dev/null || true
  pid=
}
holder=
release_log() {
  if [ -n "$holder" ]; then
    touch "$dir/release"
    wait "$holder" 2>/dev/null || true
    holder=
    rm -f "$dir/release" "$dir/release.held"
  elif [ -d "$dir/time.txt" ]; then
    rmdir "$dir/time.txt"
    if [ -e "$dir/time.kept" ]; then mv "$dir/time.kept" "$dir/time.txt"; fi
  fi
}
# The time log made unwritable: held by another program under wine, a folder in its place on Linux.
hold_log() {
  if [ ${#launcher[@]} -gt 0 ]; then
    touch "$dir/time.txt"
    "${launcher[@]}" "$TEMPIX_HOLD_FILE" "Z:$dir/time.txt" "Z:$dir/release" >/dev/null 2>&1 &
    holder=$!
    wait_for 30 test -e "$dir/release.held" || fail "the holder never held time.txt"
  else
    if [ -e "$dir/time.txt" ]; then mv "$dir/time.txt" "$dir/time.kept"; fi
    mkdir "$dir/time.txt"
  fi
}
# The Windows build's display scale, as Windows' settings keep it: 96 DPI is 100 %.
set_dpi() {
  [ ${#launcher[@]} -gt 0 ] || return 0
  "${launcher[@]}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
large_text=false
small=
cleanup() {
  if [ -n "$small" ]; then chattr -i "$small/time.txt" 2>/dev/null || true; umount "$small" 2>/dev/null || true; fi
  if [ -n "$holder" ]; then touch "$dir/release"; wait "$holder" 2>/dev/null || true; fi
  stop_program
  # The Windows build keeps waiting records in the prefix's user folder: none may outlive the test.
  if [ -n "${TEMPIX_WINEPREFIX:-}" ]; then
    find "$TEMPIX_WINEPREFIX/drive_c/users" -path '*/Tempix/unwritten.dat*' -delete 2>/dev/null || true
  fi
  if $large_text; then set_dpi 96; fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# scripts/test's display has one already; a bare display gets one of ours.
if [ -z "${TEMPIX_WINDOW_MANAGER:-}" ] && command -v openbox >/dev/null; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  TEMPIX_WINDOW_MANAGER=openbox
  sleep 0.5
fi

wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done
}
# The main window's caption ends with the offset from GMT; the error report's caption is the
# application title alone, "hh:mm:ss Tempix ver 1.2".
main_window() { xdotool search --onlyvisible --name 'Tempix ver 1\.2 \(GMT' 2>/dev/null | sed -n 1p; }
reports() { xdotool search --onlyvisible --name 'Tempix ver 1\.2$' 2>/dev/null | wc -l; }
box_up() { [ "$(reports)" -ge 1 ]; }
box_down() { [ "$(reports)" -eq 0 ]; }
records() { echo $(( $(stat -c %s "$dir/time.txt" 2>/dev/null || echo 0) / 35 )); }
has_records() { [ "$(records)" -eq "$1" ]; }
user_records() { echo $(( $(stat -c %s "$dir/temp.txt" 2>/dev/null || echo 0) / 35 )); }
has_user_records() { [ "$(user_records)" -eq "$1" ]; }
logs_agree() { cmp -s "$dir/time.txt" "$dir/temp.txt"; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# bracketed RECORDS WHAT COMMAND...: the command presses a key or clicks; the record it makes (the
# RECORDS-th) carries a time between the clock's readings before and after it, cut to the millisecond.
bracketed() {
  local want=$1 what=$2 before after record ms day=86400000
  shift 2
  before=$(now_ms)
  "$@"
  after=$(now_ms)
  wait_for 5 has_records "$want" || fail "$what: $(records) records"
  record=$(tail -c 35 "$dir/time.txt")
  ms=$(( 10#${record:3:2} * 3600000 + 10#${record:6:2} * 60000 + 10#${record:9:2} * 1000 + 10#${record:12:3} ))
  before=$(( before % day )) after=$(( after % day ))
  [ "$before" -gt "$after" ] && return 0  # across midnight: not judged
  [ "$ms" -ge "$before" ] && [ "$ms" -le "$after" ] ||
    fail "$what: recorded ${record:3:15}, $ms ms of the day, made between $before and $after"
}

# What the display shows, for a failure's report.
what_is_up() {
  local id w
  id=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*') || true
  echo "window manager $( [ -n "$id" ] && xprop -id "$id" _NET_WM_NAME 2>/dev/null || echo gone)," \
       "active $(xdotool getactivewindow 2>/dev/null), focus $(xdotool getwindowfocus 2>/dev/null), main $(main_window);"
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do echo "  window $w: $(xdotool getwindowname "$w")"; done
  echo "program's output: $(cat "$dir/run.log")"
}

# shot NAME TITLE-PATTERN: a picture of the window into $TEMPIX_SCREENSHOTS, named by build.
build_name=linux
[ ${#launcher[@]} -eq 0 ] || build_name=win64
shot() {
  [ -n "${TEMPIX_SCREENSHOTS:-}" ] || return 0
  mkdir -p "$TEMPIX_SCREENSHOTS"
  local id
  id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | sed -n 1p) || true
  [ -n "$id" ] || return 0
  python3 "$(dirname "$0")/../wine/screenshot.py" "$TEMPIX_SCREENSHOTS/$build_name-$1.png" "$id" ||
    echo "screenshot $1 not saved" >&2
}

polish=C
tracer=()
if grep -qix 'pl_PL.utf-\?8' <<<"$(locale -a 2>/dev/null)"; then polish=pl_PL.UTF-8; fi

# start_program DIR LOCALE [VAR=VALUE...]: the program copied into DIR, started there with the
# variables given, its main window active.
start_program() {
  dir=$1
  cp "$exe" "$dir/$name"
  (cd "$dir" && exec env LC_ALL="$2" LANGUAGE='' XDG_DATA_HOME="$work/data" "${@:3}" "${tracer[@]}" "${launcher[@]}" "$dir/$name") \
    >"$dir/run.log" 2>&1 &
  pid=$!
  local w=
  for _ in $(seq 600); do w=$(main_window) && [ -n "$w" ] && break; sleep 0.1; done
  [ -n "$w" ] || fail "no window: $(cat "$dir/run.log")"
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  sleep 0.5
}

# episode SHOT: three captures by Enter while the time log cannot be written: the first one's error
# report comes once and the Enter that dismisses it captures nothing; the others open no box; the
# user log has all three.
episode() {
  local before n
  before=$(user_records)
  xdotool key Return
  wait_for 5 has_user_records $((before + 1)) || fail "$(user_records) records in the user log after the capturing Enter"
  wait_for 5 box_up || fail "no error report"
  shot "$1" 'Tempix ver 1\.2$'
  sleep 0.3
  box_up || { sleep 0.2; box_up; } || fail "the report closed by itself"
  xdotool key Return
  wait_for 5 box_down || fail "Enter did not dismiss the report"
  sleep 0.5
  has_user_records $((before + 1)) || fail "the dismissing Enter captured ($(user_records) records)"
  for n in 2 3; do
    xdotool key Return
    wait_for 5 has_user_records $((before + n)) || fail "$(user_records) records in the user log after Enter $n"
  done
  sleep 0.5
  box_down || fail "a second report in one episode"
}

# 1. A time log that cannot be written.
mkdir "$work/report"
dir=$work/report
hold_log
start_program "$work/report" C
episode error-report
xdotool mousemove 0 0
sleep 0.3
shot records-waiting 'Tempix ver 1\.2 \(GMT'
release_log
wait_for 2 logs_agree || fail "once it could be written, time.txt held $(records) records, the user log $(user_records)"
# A second episode: held down, every repeat captures, and the report comes once the key is up.
hold_log
before=$(user_records)
xdotool keydown Return
sleep 1.2
held=$(( $(user_records) - before ))
[ "$held" -gt 3 ] || { xdotool keyup Return; fail "a held Enter captured $held times"; }
box_down || { xdotool keyup Return; fail "the report opened while Enter was held"; }
xdotool keyup Return
wait_for 12 box_up || fail "no report after the held Enter"
[ "$(reports)" -eq 1 ] || fail "$(reports) reports for one held Enter"
held=$(user_records)
xdotool key Return
wait_for 5 box_down || fail "Enter did not dismiss the report"
sleep 0.5
[ "$(user_records)" -eq "$held" ] || fail "the dismissing Enter captured"
# Killed while records wait: the next start writes them before anything else.
kill_program
release_log
start_program "$work/report" C
wait_for 5 logs_agree || fail "after a restart time.txt held $(records) records, the user log $(user_records)"
stop_program

# 2. No key chosen: nothing captures, and the choice is kept.
mkdir "$work/nokey"
printf '238\r\n255\r\n-20\r\nArial\r\n0\r\n20\r\n0\r\n-7\r\n' >"$work/nokey/userfont.dat"
start_program "$work/nokey" $polish
for key in Return KP_Enter Pause Insert Escape; do xdotool key "$key"; done
sleep 0.5
[ ! -e "$work/nokey/time.txt" ] || fail "a key captured with no key chosen: $(records) records"
if [ -n "${TEMPIX_WINDOW_MANAGER:-}" ]; then
  # The window manager's close: the settings are saved. Alt+F4 asked twice, then (with a word on
  # what the display looked like) the close the title bar's button asks for.
  no_main_window() { [ -z "$(main_window)" ]; }
  for _ in 1 2; do
    xdotool windowactivate --sync "$(main_window)" 2>/dev/null || true
    xdotool key alt+F4
    wait_for 5 no_main_window && break
  done
  if ! no_main_window; then
    echo "Alt+F4 did not close the window; $(what_is_up)" >&2
    wmctrl -i -c "$(main_window)" || true
    wait_for 5 no_main_window || fail "the window did not close; $(what_is_up)"
  fi
  # Every byte as stored but the height, which follows the size at the display's resolution.
  printf '238\r\n255\r\nArial\r\n0\r\n20\r\n0\r\n-1\r\n' | cmp -s - <(sed 3d "$work/nokey/userfont.dat") ||
    fail "closing wrote $(od -c "$work/nokey/userfont.dat" | sed -n 1,3p)"
fi
stop_program

# 3. The keyboard round the windows.
mkdir "$work/keys"
cp "$(dirname "$0")/../../dist/sndata.txt" "$work/keys/"
start_program "$work/keys" $polish
xdotool mousemove 0 0  # no tooltip over the picture
sleep 0.3
shot main-window 'Tempix ver 1\.2 \(GMT'
window_up() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
window_down() { ! window_up "$1"; }
picture() { xwd -id "$(main_window)" -silent 2>/dev/null | md5sum || true; }
live_moves() { local before; before=$(picture); sleep 0.1; [ "$(picture)" != "$before" ]; }
live_moves || fail "the clock stood still"
if [ -n "${TEMPIX_WINDOW_MANAGER:-}" ]; then
  # Minimised, the window draws no frame, but its caption, the local time to the second that the
  # taskbar shows, goes on: it moves at least twice in 3 s. Restored, it shows the time of that
  # moment as soon as the program has heard of the restore (wine hears of it a moment after the
  # window manager has mapped the window).
  window=$(main_window)
  xdotool windowminimize --sync "$window"
  seen=$(xdotool getwindowname "$window") moves=0
  for _ in $(seq 30); do
    sleep 0.1
    now=$(xdotool getwindowname "$window")
    [ "$now" = "$seen" ] || moves=$((moves + 1))
    seen=$now
  done
  [ "$moves" -ge 2 ] || fail "minimised, the caption moved $moves times in 3 s (last $seen)"
  caption=$(xdotool getwindowname "$window")
  from=$(date +%s)
  xdotool windowactivate --sync "$window"
  moved_on() { [ "$(xdotool getwindowname "$window")" != "$caption" ]; }
  # Up to the next second at the latest; wait_for's whole seconds of the shell's count may end
  # at once, so give it three.
  wait_for 3 moved_on || fail "restored, the caption stayed at $caption"
  caption=$(xdotool getwindowname "$window")
  shown=${caption:0:8} ok=false
  for ((s = from; s <= $(date +%s); s++)); do [ "$(date -d "@$s" +%H:%M:%S)" = "$shown" ] && ok=true; done
  $ok || fail "restored at $(date -d "@$from" +%T), the first caption was $caption"
  sleep 0.3
fi
xdotool key alt+o
wait_for 10 window_up '^O programie' || fail "Alt+O opened no about box"
shot about-box '^O programie'
# The live clock goes on under the box, the mouse still: the main window's picture changes.
live_moves || fail "the clock stood still under the about box"
xdotool key Return
wait_for 5 window_down '^O programie' || fail "Enter did not close the about box"
sleep 0.3
xdotool key Down Down
bracketed 1 "Down, Down, Insert" xdotool key Insert
xdotool key Up Up
bracketed 2 "Up, Up, Enter" xdotool key Return
bracketed 3 "the keypad's Enter" xdotool key KP_Enter
# window_round TRIP KEY TITLE RECORDS [KEYS...]: Alt+KEY opens the window, the keys given are
# pressed there, Alt+Z closes it, and the next Enter captures (the focus is back in the key choice,
# on no button).
window_round() {
  xdotool key "alt+$2"
  wait_for 10 window_up "$3" || fail "Alt+$2 opened no $1 window"
  sleep 0.3
  shot "$1-window" "$3"
  [ $# -le 4 ] || { xdotool key --delay 100 "${@:5}"; sleep 0.3; }
  xdotool key alt+z
  wait_for 10 window_down "$3" || fail "Alt+Z did not close the $1 window"
  sleep 0.3
  xdotool key Return
  wait_for 5 has_records "$4" || fail "Enter after the $1 window: $(records) records"
}
if [ ${#launcher[@]} -eq 0 ]; then
  # GTK's font chooser has no colour: the colour dialog follows the font chosen.
  xdotool mousemove --window "$(main_window)" 268 150 click 1
  wait_for 10 window_up '^Wybierz czcionk' || fail "a click on the stopped time opened no font dialog"
  sleep 0.5
  xdotool key Down Return
  wait_for 10 window_up '^Kolor czcionki' || fail "no colour dialog after the font dialog"
  shot colour-dialog '^Kolor czcionki'
  xdotool key Escape
  wait_for 10 window_down '^Kolor czcionki' || fail "Esc did not close the colour dialog"
  xdotool mousemove 0 0
  sleep 0.3
  xdotool key Return
  wait_for 5 has_records 4 || fail "Enter after the font and colour dialogs: $(records) records"
  made=4
else
  made=3
fi
window_round time-server u '^Synchronizacja @ PC' $((made += 1))
# In the serial-port window: the lockout, past the six selectors, set to 100 ms.
window_round serial-port t '^Port .*UT\)$' $((made += 1)) Tab Tab Tab Tab Tab Tab Down Down Down
for entry in 1 2; do  # mouse mode twice: the cursor is centred on the lock window each time
  xdotool mousemove 5 5
  xdotool key alt+m
  wait_for 10 window_up '^Zmiana trybu pracy' || fail "Alt+M opened no mouse-mode box"
  shot mouse-mode-box '^Zmiana trybu pracy'
  xdotool key Return
  wait_for 10 window_up '^Blokada myszy' || fail "no lock window"
  sleep 0.5
  shot mouse-lock-window '^Blokada myszy'
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^Blokada myszy' | sed -n 1p)")"
  centre=$((X + WIDTH / 2))
  eval "$(xdotool getmouselocation --shell)"
  [ "$X" -ge $((centre - 4)) ] && [ "$X" -le $((centre + 4)) ] ||
    fail "mouse mode entry $entry: the cursor is at x $X, the lock window's centre at $centre"
  bracketed $((made += 1)) "a click in mouse mode" xdotool click 1
  xdotool key shift+F9
  wait_for 10 window_down '^Blokada myszy' || fail "Shift+F9 did not end mouse mode"
  sleep 0.3
  xdotool key Return
  wait_for 5 has_records $((made += 1)) || fail "Enter after mouse mode: $(records) records"
done
normal_width=$(xdotool getwindowgeometry --shell "$(main_window)" | sed -n 's/^WIDTH=//p')
stop_program
# The serial-port window's close stored the selections it loaded (none stored: the defaults), and
# the lockout apart.
printf 'COM1\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n' | cmp -s - "$work/keys/usercom.dat" ||
  fail "the serial-port window stored $(od -c "$work/keys/usercom.dat" | sed -n 1,3p)"
printf '100\r\n' | cmp -s - "$work/keys/usercts.dat" ||
  fail "the lockout was stored as $(od -c "$work/keys/usercts.dat" 2>&1 | sed -n 1,3p)"

# 4. Text at 150 %.
mkdir "$work/large"
large_text=true
set_dpi 144
start_program "$work/large" "$polish" GDK_DPI_SCALE=1.5
xdotool mousemove 0 0
sleep 0.3
shot large-main-window 'Tempix ver 1\.2 \(GMT'
width=$(xdotool getwindowgeometry --shell "$(main_window)" | sed -n 's/^WIDTH=//p')
[ "$width" -ge $((normal_width * 14 / 10)) ] || fail "at 150 % the main window is $width pixels wide, at 100 % $normal_width"
xdotool key alt+t
wait_for 10 window_up '^Port .*UT\)$' || fail "Alt+T opened no serial-port window at 150 %"
sleep 0.3
shot large-serial-port-window '^Port .*UT\)$'
xdotool key alt+z
wait_for 10 window_down '^Port .*UT\)$' || fail "Alt+Z did not close the serial-port window at 150 %"
sleep 0.3
xdotool key alt+m
wait_for 10 window_up '^Zmiana trybu pracy' || fail "Alt+M opened no mouse-mode box at 150 %"
xdotool key Return
wait_for 10 window_up '^Blokada myszy' || fail "no lock window at 150 %"
sleep 0.5
shot large-mouse-lock-window '^Blokada myszy'
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^Blokada myszy' | sed -n 1p)")"
centre_x=$((X + WIDTH / 2)) lock_y=$Y lock_height=$HEIGHT
eval "$(xdotool getmouselocation --shell)"
[ "$X" -ge $((centre_x - 6)) ] && [ "$X" -le $((centre_x + 6)) ] && [ "$Y" -gt "$lock_y" ] && [ "$Y" -lt $((lock_y + lock_height)) ] ||
  fail "at 150 % the cursor is at $X,$Y, the lock window's centre at x $centre_x"
bracketed 1 "a click in mouse mode at 150 %" xdotool click 1
xdotool key shift+F9
wait_for 10 window_down '^Blokada myszy' || fail "Shift+F9 did not end mouse mode at 150 %"
stop_program
set_dpi 96
large_text=false

# 5. A full disk and an immutable log, and the flushes.
if [ ${#launcher[@]} -eq 0 ] && [ "$(id -u)" -eq 0 ] && command -v strace >/dev/null; then
  mkdir "$work/faults" "$work/small"
  small=$work/small
  mount -t tmpfs -o size=64k tmpfs "$small" || fail "could not mount a small tmpfs"
  dd if=/dev/zero of="$small/filler" bs=4k >/dev/null 2>&1 || true  # until the disk is full
  ln -s "$small/time.txt" "$work/faults/time.txt"
  tracer=(strace -f -qq -e "trace=openat,write,fdatasync,close" -o "$work/strace.log")
  start_program "$work/faults" C
  tracer=()
  episode disk-full
  rm "$small/filler"
  wait_for 2 logs_agree || fail "once the disk had room, time.txt held $(records) records, the user log $(user_records)"
  chattr +i "$small/time.txt"
  episode immutable-log
  chattr -i "$small/time.txt"
  wait_for 2 logs_agree || fail "once it could be written, time.txt held $(records) records, the user log $(user_records)"
  # strace ends with the program it traces (told to end, it would leave it running).
  kill "$(pgrep -P "$pid")"
  stop_program
  python3 "$(dirname "$0")/flushed_writes.py" "$work/strace.log" "$work/faults/time.txt" "$work/faults/temp.txt" ||
    fail "a log written without a flush"
  umount "$small"
  small=
fi

# The records' shape, digits aside, is the same under both locales.
shape() { tr '0-9' '#' <"$1" | sort -u; }
[ "$(shape "$work/keys/time.txt")" = "$(shape "$work/report/time.txt")" ] ||
  fail "records under $polish: $(shape "$work/keys/time.txt"), under C: $(shape "$work/report/time.txt")"
echo "keys ok: $held records kept through an unwritable time log and a kill; no key, no capture"
