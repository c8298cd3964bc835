#!/usr/bin/env bash
# InstallerTest.sh BUILD_WIN_DIR: the Windows installer under wine, as an administrator installs it
# silently (/S): Tempix under Program Files\Tempix with a Start menu entry and an uninstaller in the
# system's program list. Tempix.exe started from there captures into %LOCALAPPDATA%\Tempix\time.txt
# (nothing is written under Program Files); the uninstaller removes the program and keeps the data.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
export TEMPIX_WINEPREFIX=${TEMPIX_WINEPREFIX:-$build/wineprefix}
prefix=$(realpath -m "$TEMPIX_WINEPREFIX")
run=("$root/scripts/wine-run")
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
program="$prefix/drive_c/Program Files/Tempix"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tempix'
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  rm -rf "$program" "$work"
  find "$prefix/drive_c/users" -maxdepth 4 -path '*/AppData/Local/Tempix' -exec rm -rf {} + 2>/dev/null || true
  "${run[@]}" reg delete "$key" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is unset): scripts/test starts one"
wait_wine() { WINEPREFIX=$prefix wineserver -w; }

setup=$("$root/dist/make-installer.sh" "$build" 2>/dev/null)
"${run[@]}" "$setup" /S >"$work/setup.log" 2>&1 || fail "the installer failed: $(cat "$work/setup.log")"
wait_wine
for f in Tempix.exe Uninstall.exe sndata.txt README.txt help/index.html locale/pl/LC_MESSAGES/cport.mo; do
  [ -e "$program/$f" ] || fail "no $f under Program Files\\Tempix"
done
[ -n "$(find "$prefix/drive_c/ProgramData" -name 'Tempix.lnk')" ] || fail "no Start menu entry"
"${run[@]}" reg query "$key" /v UninstallString >"$work/reg.log" 2>&1 || fail "no uninstaller in the program list"
grep -q 'Uninstall.exe' "$work/reg.log" || fail "the program list's uninstaller: $(cat "$work/reg.log")"

# Started as the Start menu's entry starts it: the files go to the user's folder.
(cd "$work" && exec "${run[@]}" 'C:\Program Files\Tempix\Tempix.exe') >"$work/run.log" 2>&1 &
wid=
for _ in $(seq 600); do
  wid=$(xdotool search --onlyvisible --name 'Tempix ver 1\.2 \(GMT' 2>/dev/null | sed -n 1p) && [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no window: $(cat "$work/run.log")"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
sleep 0.5
xdotool key Return
data=
for _ in $(seq 100); do
  data=$(find "$prefix/drive_c/users" -maxdepth 5 -path '*/AppData/Local/Tempix/time.txt' | sed -n 1p)
  [ -n "$data" ] && [ -s "$data" ] && break
  sleep 0.1
done
[ -n "$data" ] && [ "$(stat -c %s "$data")" = 35 ] ||
  fail "no record in %LOCALAPPDATA%\\Tempix\\time.txt: $(find "$prefix/drive_c/users" -path '*Tempix*' 2>/dev/null)"
[ -e "$(dirname "$data")/sndata.txt" ] || fail "no copy of the sample server list beside the user's time.txt"
[ ! -e "$program/time.txt" ] || fail "a time.txt under Program Files"
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

"${run[@]}" "$program/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 || fail "the uninstaller failed"
wait_wine
[ ! -e "$program" ] || fail "left under Program Files: $(ls -A "$program")"
[ -z "$(find "$prefix/drive_c/ProgramData" -name 'Tempix.lnk')" ] || fail "the Start menu entry is left"
! "${run[@]}" reg query "$key" >/dev/null 2>&1 || fail "the program list still has Tempix"
[ -s "$data" ] || fail "the uninstaller removed the user's time.txt"
echo "installer ok: $(basename "$setup")"
