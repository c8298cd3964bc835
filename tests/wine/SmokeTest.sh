#!/usr/bin/env bash
# SmokeTest.sh BUILD_DIR: makes Tempix-win64.zip, unpacks it and starts its Tempix.exe under wine on
# $DISPLAY from another folder: it starts, Enter captures the time into time.txt beside the executable
# with the record's exact layout, and a screenshot of the window is kept in $TEMPIX_SCREENSHOTS
# (default BUILD_DIR/screenshots).
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
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is unset): scripts/test starts one"

cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$work/out" >/dev/null
zip=$work/out/Tempix-win64.zip
[ -f "$zip" ] || fail "cpack made no Tempix-win64.zip"
mkdir "$work/Tempix"
unzip -q "$zip" -d "$work/Tempix"
for f in Tempix.exe README.txt sndata.txt help/index.html help/ID_Dodatek.html locale/pl/LC_MESSAGES/cport.mo; do
  [ -e "$work/Tempix/$f" ] || fail "the zip has no $f"
done
extra=$(cd "$work/Tempix" && find . -iname '*.dll')
[ -z "$extra" ] || fail "the zip ships DLLs: $extra"
# Self-contained: only system DLLs are imported.
imports=$(x86_64-w64-mingw32-objdump -p "$work/Tempix/Tempix.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $imports; do
  case "$dll" in
    advapi32.dll|comctl32.dll|comdlg32.dll|gdi32.dll|kernel32.dll|msvcrt.dll|ole32.dll|oleaut32.dll|\
    oleacc.dll|rpcrt4.dll|shell32.dll|shlwapi.dll|user32.dll|uuid.dll|uxtheme.dll|version.dll|winmm.dll|\
    winspool.drv|ws2_32.dll|imm32.dll|msimg32.dll|gdiplus.dll|usp10.dll|dwmapi.dll|setupapi.dll) ;;
    *) fail "Tempix.exe needs $dll, which Windows does not ship" ;;
  esac
done

mkdir "$work/cwd"
(cd "$work/cwd" && exec "$here/../../scripts/wine-run" "$work/Tempix/Tempix.exe") >"$work/wine.log" 2>&1 &
wid=
for _ in $(seq 600); do
  wid=$(xdotool search --onlyvisible --classname tempix.exe 2>/dev/null | sed -n 1p) && [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no Tempix window after 60 s: $(cat "$work/wine.log")"
for _ in $(seq 100); do
  case "$(xdotool getwindowname "$wid")" in *Tempix*GMT*) break ;; esac
  sleep 0.1
done
title=$(xdotool getwindowname "$wid")
case "$title" in *Tempix*GMT*) ;; *) fail "the title is '$title', not the program's" ;; esac

# The pointer away from the window, so that no tooltip covers it in the screenshot.
xdotool mousemove 0 0
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
sleep 0.5
xdotool key Return
log=$work/Tempix/time.txt
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
[ -s "$log" ] || fail "no time.txt beside Tempix.exe after Enter"
sleep 0.3
size=$(stat -c %s "$log")
[ "$size" -eq 35 ] || fail "time.txt has $size bytes, want one 35-byte record: $(od -c "$log" | sed -n 1,3p)"
LC_ALL=C grep -Eq '^ +[0-9]{2}.[0-9]{2}.[0-9]{2}.[0-9]{3} UT +\([0-9]{2}.[0-9]{2}.[0-9]{4}\)'$'\r''$' "$log" \
  || fail "the record is malformed: $(od -c "$log" | sed -n 1,3p)"
# The user's log is written right after time.txt.
for _ in $(seq 50); do cmp -s "$log" "$work/Tempix/temp.txt" && break; sleep 0.1; done
cmp -s "$log" "$work/Tempix/temp.txt" || fail "the user's log differs from time.txt"
[ -z "$(ls -A "$work/cwd")" ] || fail "files written to the working folder: $(ls -A "$work/cwd")"
python3 "$here/screenshot.py" "$shots/tempix-win64-main.png" "$wid" || fail "no screenshot of the window"
echo "smoke ok: $title; record: $(tr -d '\r\n' <"$log")"
