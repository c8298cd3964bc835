#!/usr/bin/env bash
# DebTest.sh BUILD_DIR: the Debian package as a user gets it, on this (throwaway) machine as root.
# lintian finds no error in it, its desktop entry and AppStream data validate; `apt-get install ./…`
# installs it; an ordinary user starts it with the menu entry's command on $DISPLAY and Enter
# captures into ~/.local/share/tempix/time.txt (made at first start, with the sample server list);
# `apt-get remove` leaves nothing of the program behind. Skipped (77) when not root.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "installs a package: root only"; exit 77; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
pid=
installed=false
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if $installed; then DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tempix >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is unset): scripts/test starts one"
if dpkg-query -W tempix >/dev/null 2>&1; then fail "a tempix package is installed already"; fi

deb=$("$here/../../dist/make-deb.sh" "$build")
errors=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep '^E:' || true)
[ -z "$errors" ] || fail "lintian: $errors"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || fail "apt-get install: $(cat "$work/apt.log")"
installed=true
mapfile -t files < <(dpkg -L tempix | while read -r f; do [ -d "$f" ] || echo "$f"; done)
desktop-file-validate /usr/share/applications/org.tempix.Tempix.desktop || fail "the installed desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/org.tempix.Tempix.metainfo.xml >"$work/as.log" 2>&1 ||
  fail "appstreamcli: $(cat "$work/as.log")"
command=$(sed -n 's/^Exec=//p' /usr/share/applications/org.tempix.Tempix.desktop)
[ "$(command -v "$command")" = /usr/bin/tempix ] || fail "the menu entry's command is '$command'"

# An ordinary user (nobody, with a home of the test's own) starts it and captures.
home=$work/home
chmod 0755 "$work"
mkdir -p "$home"
chown 65534:65534 "$home"
(cd "$home" && exec setpriv --reuid=65534 --regid=65534 --clear-groups \
   env -i HOME="$home" DISPLAY="$DISPLAY" LANG=C.UTF-8 PATH=/usr/bin:/bin "$command") >"$work/run.log" 2>&1 &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'Tempix ver' 2>/dev/null | sed -n 1p) ||
  fail "no window: $(cat "$work/run.log")"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
sleep 0.5
xdotool key Return
data=$home/.local/share/tempix
for _ in $(seq 100); do [ -s "$data/time.txt" ] && break; sleep 0.1; done
[ "$(stat -c %s "$data/time.txt" 2>/dev/null)" = 35 ] || fail "no record in $data/time.txt: $(ls -la "$data" 2>&1)"
[ "$(stat -c %u "$data/time.txt")" = 65534 ] || fail "time.txt is not the user's"
cmp -s /usr/share/tempix/sndata.txt "$data/sndata.txt" || fail "no copy of the sample server list in $data"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tempix >/dev/null 2>&1 || fail "apt-get remove"
installed=false
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "$f is left after the removal"; done
[ ! -e /usr/share/tempix ] || fail "/usr/share/tempix is left after the removal"
echo "deb ok: $(basename "$deb"), ${#files[@]} files installed and removed"
