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

# Nanoseconds on a processor and voluntary switches, summed over the threads there are now.
cpu_ns() { local t s=0; for t in /proc/"$pid"/task/*/schedstat; do read -r ns _ <"$t" && s=$((s + ns)); done; echo "$s"; }
switches() { awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }' /proc/"$pid"/task/*/status; }
# measure NAME: the figures over the next 10 s.
measure() {
  local c0 w0 t0 c1 w1 t1
  c0=$(cpu_ns) w0=$(switches) t0=$(date +%s%N)
  sleep 10
  c1=$(cpu_ns) w1=$(switches) t1=$(date +%s%N)
  LC_ALL=C awk -v c=$((c1 - c0)) -v w=$((w1 - w0)) -v t=$((t1 - t0)) -v n="$1" 'BEGIN {
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
