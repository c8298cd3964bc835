#!/usr/bin/env bash
# clock_cost_bench.sh BUILD_DIR: what the live clock costs the real program on $DISPLAY (under a
# window manager, which minimising needs), with nothing else to do: CPU time and voluntary context
# switches (wake-ups) of all its threads a second, over 10 s shown and 10 s minimised.
set -euo pipefail
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp "$1/bin/Tempix" "$work/"
"$work/Tempix" >/dev/null 2>&1 &
pid=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --all --onlyvisible --pid "$pid" --name 'GMT' 2>/dev/null | sed -n 1p) || true
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "clock_cost_bench: no window" >&2; exit 1; }

# measure NAME: processor time and voluntary switches over the next 10 s, of the threads there at
# both ends (a thread that ends meanwhile would take its counts with it).
measure() {
  local t ns rest c=0 w=0 t0 t1
  declare -A cpu switches
  for t in /proc/"$pid"/task/*; do
    read -r ns rest <"$t/schedstat" && cpu[$t]=$ns
    switches[$t]=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status")
  done
  t0=$(date +%s%N)
  sleep 10
  t1=$(date +%s%N)
  for t in "${!cpu[@]}"; do
    [ -r "$t/schedstat" ] && read -r ns rest <"$t/schedstat" || continue
    c=$((c + ns - cpu[$t]))
    w=$((w + $(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status") - switches[$t]))
  done
  LC_ALL=C awk -v c="$c" -v w="$w" -v t=$((t1 - t0)) -v n="$1" 'BEGIN {
    printf "clock_cpu_pct_%s %.3f %%\n", n, 100 * c / t
    printf "clock_wakeups_per_s_%s %.1f /s\n", n, w * 1e9 / t }'
}
sleep 2
measure shown
if [ -n "${TEMPIX_WINDOW_MANAGER:-}" ]; then
  xdotool windowminimize --sync "$window"
  sleep 1
  measure minimised
fi
