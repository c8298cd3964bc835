#!/usr/bin/env bash
# SerialWindowTest.sh TEMPIX_EXE WINE_RUN: run through tests/wine/pty_com.py, which maps its pty as
# COM40 and plays the pty's CTS line from the schedule in $TEMPIX_LINES_FILE. Tempix.exe as a user
# with a push-button on CTS meets it: COM40 stored as the port and a 200 ms lockout; Alt+T opens
# the serial-port window and Alt+S starts it. Each press closes the contact, bounces open 30 ms later
# and closes again 30 ms after that: one record per press, with the time of its first edge. Alt+A
# stops the port: a press after that records nothing. A screenshot of the window is kept in
# $TEMPIX_SCREENSHOTS. (Wine looks at the lines only while a wait is armed, and arms the next some
# milliseconds after a change, later on a busy machine: a faster bounce may fall between two waits,
# and an edge there reaches the program only with the next one, which Windows' driver does not do.)
set -euo pipefail
exe=$1
wine_run=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TEMPIX_LINES_FILE:-}" ] || [ "${TEMPIX_TEST_COM:-}" != COM40 ]; then
  echo "FAIL: run it through tests/wine/pty_com.py" >&2
  exit 1
fi
work=$(mktemp -d)
pid=
cleanup() {
  WINEPREFIX=${TEMPIX_WINEPREFIX:?} wineserver -k 2>/dev/null || true
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done
}
# A search that meets a window going away fails: it counts as not found this time.
window() { { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; } | sed -n 1p; }
records() { echo $(( $(stat -c %s "$work/time.txt" 2>/dev/null || echo 0) / 35 )); }
has_records() { [ "$(records)" -eq "$1" ]; }

cp "$exe" "$work/Tempix.exe"
printf 'COM40\r\n9600\r\n8\r\nNone\r\nNone\r\n1\r\n' >"$work/usercom.dat"
printf '200\r\n' >"$work/usercts.dat"
: >"$TEMPIX_LINES_FILE"
(cd "$work" && exec "$wine_run" "$work/Tempix.exe") >"$work/run.log" 2>&1 &
pid=$!
main=
find_main() { main=$(window 'Tempix ver 1\.2 \(GMT'); [ -n "$main" ]; }
wait_for 60 find_main || fail "no main window: $(cat "$work/run.log")"
# Wine lists only the serial devices it made itself: the pty is listed as a driver would list it,
# in the registry of the running wine, so that the window finds COM40 among the system's ports.
"$wine_run" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\TempixPty' /t REG_SZ /d COM40 /f >/dev/null 2>&1 ||
  fail "COM40 could not be listed"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main" || true
sleep 0.5
xdotool key alt+t
port=
find_port() { port=$(window '^Port COM40 .*UT\)$'); [ -n "$port" ]; }
wait_for 10 find_port || fail "Alt+T opened no serial-port window on COM40"
xdotool windowactivate --sync "$port" 2>/dev/null || xdotool windowfocus --sync "$port" || true
sleep 0.3
xdotool key alt+s
sleep 1

# Five presses, 800 ms apart, from a second from now; each: on, off 30 ms later, on 30 ms after
# that, off when the finger lets go.
first=$(( $(date +%s%N) / 1000 + 1000000 ))
for i in 0 1 2 3 4; do
  t=$((first + i * 800000))
  printf '%d 1\n%d 0\n%d 1\n%d 0\n' "$t" $((t + 30000)) $((t + 60000)) $((t + 400000))
done >"$TEMPIX_LINES_FILE.new"
mv "$TEMPIX_LINES_FILE.new" "$TEMPIX_LINES_FILE"
sleep 5
wait_for 5 has_records 5 || fail "$(records) records of 5 presses: $(cat "$work/time.txt" 2>/dev/null)"
sleep 0.5
has_records 5 || fail "$(records) records of 5 presses (a bounce got through the lockout)"
cmp -s "$work/time.txt" "$work/temp.txt" || fail "the user's log differs from time.txt"
# Each record is its press's first edge, not its bounce or its release, to within wine's look at
# the lines (about a millisecond on an idle machine, tens of milliseconds on a busy one).
python3 - "$work/time.txt" "$first" <<'EOF' || fail "a record is not its press's first edge"
import sys
log = open(sys.argv[1], "rb").read().decode("ascii")
first_us = int(sys.argv[2])
for i in range(5):
    t = log[i * 35 + 3:i * 35 + 15]
    ms = int(t[0:2]) * 3600000 + int(t[3:5]) * 60000 + int(t[6:8]) * 1000 + int(t[9:12])
    edge = (first_us // 1000 + i * 800) % 86400000
    late = (ms - edge) % 86400000
    print(f"press {i + 1}: recorded {t}, {late} ms after its first edge")
    if late > 100:
        sys.exit(1)
EOF
if [ -n "${TEMPIX_SCREENSHOTS:-}" ]; then
  mkdir -p "$TEMPIX_SCREENSHOTS"
  python3 "$here/screenshot.py" "$TEMPIX_SCREENSHOTS/win64-serial-port-cts.png" "$port" || echo "no screenshot" >&2
fi

# Stopped: the line is no longer watched.
xdotool key alt+a
sleep 0.5
t=$(( $(date +%s%N) / 1000 + 300000 ))
printf '%d 1\n%d 0\n' "$t" $((t + 100000)) >"$TEMPIX_LINES_FILE.new"
mv "$TEMPIX_LINES_FILE.new" "$TEMPIX_LINES_FILE"
sleep 1
has_records 5 || fail "a press after Z&atrzymaj made a record"
echo "serial window ok: 5 presses, 5 records"
