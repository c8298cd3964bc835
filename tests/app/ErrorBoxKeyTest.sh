#!/usr/bin/env bash
# ErrorBoxKeyTest.sh EXE [LAUNCHER...]: the real program (Tempix, or Tempix.exe through a launcher
# such as scripts/wine-run), the capture key Enter and a user log that cannot be written (a folder in
# temp.txt's place). Each Enter that captures writes one record and raises the error report once;
# the Enter that dismisses the report captures nothing; a held Enter captures on every repeat and
# the report waits until the key is up. Under a window manager when one is at hand.
set -euo pipefail
exe=$1; shift
launcher=("$@")
work=$(mktemp -d)
pids=()
cleanup() {
  if [ ${#launcher[@]} -gt 0 ] && [ -n "${TEMPIX_WINEPREFIX:-}" ]; then
    WINEPREFIX=$TEMPIX_WINEPREFIX wineserver -k 2>/dev/null || true
  fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

name=$(basename "$exe")
cp "$exe" "$work/$name"
mkdir "$work/temp.txt"
if command -v openbox >/dev/null; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
fi
(cd "$work" && exec "${launcher[@]}" "$work/$name") >"$work/run.log" 2>&1 &
pid=$!
pids=("$pid" "${pids[@]}")
main=
for _ in $(seq 600); do
  main=$(xdotool search --onlyvisible --name 'Tempix ver 1\.2 \(GMT' 2>/dev/null | head -1) && [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || fail "no window: $(cat "$work/run.log")"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
sleep 0.5

records() { echo $(( $(stat -c %s "$work/time.txt" 2>/dev/null || echo 0) / 35 )); }
# The report's caption is the application title, "hh:mm:ss Tempix ver 1.2"; the main window's
# caption goes on with the offset from GMT.
reports() { xdotool search --onlyvisible --name 'Tempix ver 1\.2$' 2>/dev/null | wc -l; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done
}
box_up() { [ "$(reports)" -ge 1 ]; }
box_down() { [ "$(reports)" -eq 0 ]; }
has_records() { [ "$(records)" -eq "$1" ]; }

for round in 1 2; do
  xdotool key Return
  wait_for 5 has_records "$round" || fail "round $round: $(records) records after the capturing Enter"
  wait_for 5 box_up || fail "round $round: no error report"
  sleep 0.3
  box_up || fail "round $round: the report closed by itself"
  xdotool key Return
  wait_for 5 box_down || fail "round $round: Enter did not dismiss the report"
  sleep 0.5
  has_records "$round" || fail "round $round: the dismissing Enter captured ($(records) records)"
  box_down || fail "round $round: a new report followed the dismissal"
done

# Held down: every repeat captures, and the report comes once the key is up.
xdotool keydown Return
sleep 1.2
held=$(records)
[ "$held" -gt 3 ] || { xdotool keyup Return; fail "a held Enter captured $((held - 2)) times"; }
box_down || { xdotool keyup Return; fail "the report opened while Enter was held"; }
xdotool keyup Return
wait_for 5 box_up || fail "no report after the held Enter"
[ "$(reports)" -eq 1 ] || fail "$(reports) reports for one held Enter"
held=$(records)
xdotool key Return
wait_for 5 box_down || fail "Enter did not dismiss the report"
sleep 0.5
[ "$(records)" -eq "$held" ] || fail "the dismissing Enter captured"
echo "error box ok: $held records"
