#!/usr/bin/env bash
# package_bench.sh BUILD_DIR: the portable package's size, and the time from starting the unpacked
# program to its first frame (the window caption shows the offset from GMT once the first frame ran),
# on $DISPLAY, under the caller's locale.
set -euo pipefail
# shellcheck source=tests/package/unpack.sh
. "$(dirname "$0")/../tests/package/unpack.sh"
unpack_package "$1"
echo "package_size_mb $(LC_ALL=C awk -v b="$(stat -c %s "$tarball")" 'BEGIN { printf "%.3f", b / 1048576 }') MB"
start=$(date +%s%N)
"$root/Tempix" >/dev/null 2>&1 &
pid=$!
until xdotool search --all --onlyvisible --pid "$pid" --name 'GMT' >/dev/null 2>&1; do
  [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 30000 ] || { echo "package_startup_to_first_frame_ms nan ms"; exit 0; }
  sleep 0.002
done
echo "package_startup_to_first_frame_ms $(( ($(date +%s%N) - start) / 1000000 )) ms"
