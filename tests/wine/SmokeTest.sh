#!/usr/bin/env bash
# SmokeTest.sh BUILD_DIR: Tempix.exe of the Windows build under wine on $DISPLAY: it starts, Enter
# captures the time into time.txt beside the executable with the record's exact layout, and a
# screenshot of the window is kept in $TEMPIX_SCREENSHOTS (default BUILD_DIR/screenshots).
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
shots=${TEMPIX_SCREENSHOTS:-$build/screenshots}
mkdir -p "$shots"
work=$(mktemp -d)
export TEMPIX_WINEPREFIX=${TEMPIX_WINEPREFIX:-$build/wineprefix}
cleanup() {
  # Ends what runs in the private prefix: only our own Tempix.exe and its wine services.
  WINEPREFIX=$TEMPIX_WINEPREFIX wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/Tempix"
cp "$build/bin/Tempix.exe" "$work/Tempix/"
cp -r "$build/bin/locale" "$build/bin/help" "$work/Tempix/"
"$here/../../scripts/wine-run" "$work/Tempix/Tempix.exe" >"$work/wine.log" 2>&1 &

wid=
for _ in $(seq 600); do
  wid=$(xdotool search --onlyvisible --classname tempix.exe 2>/dev/null | head -1) && [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no Tempix window after 60 s: $(cat "$work/wine.log")"
for _ in $(seq 100); do
  case "$(xdotool getwindowname "$wid")" in *Tempix*GMT*) break ;; esac
  sleep 0.1
done
title=$(xdotool getwindowname "$wid")
case "$title" in *Tempix*GMT*) ;; *) fail "the title is '$title', not the program's" ;; esac

xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
sleep 0.5
xdotool key Return
log=$work/Tempix/time.txt
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
[ -s "$log" ] || fail "no time.txt beside Tempix.exe after Enter"
sleep 0.3
size=$(stat -c %s "$log")
[ "$size" -eq 35 ] || fail "time.txt has $size bytes, want one 35-byte record: $(od -c "$log" | head -3)"
LC_ALL=C grep -Eq '^ +[0-9]{2}.[0-9]{2}.[0-9]{2}.[0-9]{3} UT +\([0-9]{2}.[0-9]{2}.[0-9]{4}\)'$'\r''$' "$log" \
  || fail "the record is malformed: $(od -c "$log" | head -3)"
cmp -s "$log" "$work/Tempix/temp.txt" || fail "the user's log differs from time.txt"
python3 "$here/screenshot.py" "$shots/tempix-win64-main.png" "$wid" || echo "smoke: no screenshot" >&2
echo "smoke ok: $title; record: $(tr -d '\r\n' <"$log")"
