#!/usr/bin/env bash
# PackageTest.sh BUILD_DIR: makes the portable package, unpacks it into a temporary folder, starts the
# unpacked Tempix on $DISPLAY, presses Enter once and checks that the record lands beside that
# executable, and nowhere else.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=tests/package/unpack.sh
. "$(dirname "$0")/unpack.sh"
unpack_package "$1"

for f in Tempix README.txt sndata.txt help/index.html help/ID_Dodatek.html locale/pl/LC_MESSAGES/cport.mo \
         Tempix.desktop tempix.png install-desktop-entry; do
  [ -e "$root/$f" ] || fail "the package has no $f"
done
[ ! -e "$root/time.txt" ] || fail "the package ships a time.txt"

# The toolkit travels with it: every wx library resolves inside the folder.
deps=$(ldd "$root/Tempix")
! grep -q 'not found' <<<"$deps" || fail "unresolved libraries: $(grep 'not found' <<<"$deps")"
wx=$(grep -E '^\s*libwx_' <<<"$deps") || fail "no wx library among the executable's: $deps"
outside=$(grep -v "=> $root/lib/" <<<"$wx" || true)
[ -z "$outside" ] || fail "wx libraries resolve outside the folder: $outside"

# The desktop entry: valid in the folder, and registered for the user once, wherever the folder is.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/Tempix.desktop" || fail "the folder's desktop entry is not valid"
fi
export XDG_DATA_HOME=$work/data
entry=$("$root/install-desktop-entry")
"$root/install-desktop-entry" >/dev/null
moved="$work/gdzie indziej/Tempix"
mkdir -p "$(dirname "$moved")"
cp -a "$root" "$moved"
"$moved/install-desktop-entry" >/dev/null
mapfile -t entries < <(find "$XDG_DATA_HOME/applications" -name "*.desktop")
[ ${#entries[@]} -eq 1 ] || fail "want one entry, found ${#entries[@]}: ${entries[*]}"
grep -qxF "Exec=\"$moved/Tempix\"" "$entry" || fail "the entry does not start the moved folder's Tempix: $(grep ^Exec "$entry")"
grep -qxF "Icon=$moved/tempix.png" "$entry" || fail "the entry's icon: $(grep ^Icon "$entry")"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the registered entry is not valid"
fi
rm -rf "$(dirname "$moved")"

# Started from elsewhere, so that files written to the working folder would show up as a fault.
mkdir "$work/cwd"
(cd "$work/cwd" && exec "$root/Tempix") &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | sed -n 1p) || fail "no window"
xdotool windowfocus --sync "$wid"
sleep 0.5
xdotool key Return

for _ in $(seq 100); do [ -s "$root/time.txt" ] && break; sleep 0.1; done
[ -s "$root/time.txt" ] || fail "no time.txt beside the executable after Enter"
sleep 0.3
# One record: "hh:mm:ss,zzz UT" right-aligned in 18 characters, "(dd-mm-yyyy)" in 15, CR LF.
size=$(stat -c %s "$root/time.txt")
[ "$size" -eq 35 ] || fail "time.txt has $size bytes, want one 35-byte record"
LC_ALL=C grep -Eq '^ +[0-9]{2}.[0-9]{2}.[0-9]{2}.[0-9]{3} UT +\([0-9]{2}.[0-9]{2}.[0-9]{4}\)'$'\r''$' "$root/time.txt" \
  || fail "the record is malformed: $(od -c "$root/time.txt" | sed -n 1,3p)"
# The user's log is written right after time.txt.
for _ in $(seq 50); do cmp -s "$root/time.txt" "$root/temp.txt" && break; sleep 0.1; done
cmp -s "$root/time.txt" "$root/temp.txt" || fail "the user's log differs from time.txt"
[ -z "$(ls -A "$work/cwd")" ] || fail "files written to the working folder: $(ls -A "$work/cwd")"
kill -0 "$pid" || fail "Tempix ended after the capture"
echo "package ok: $(basename "$tarball")"
