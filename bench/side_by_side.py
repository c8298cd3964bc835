#!/usr/bin/env python3
"""side_by_side.py TEMPIX XSERVER_PID: what watching a running clock costs, Tempix against the
desktop's own stopwatch (GNOME Clocks, GTK 4 with its cairo renderer, as on a display without GL) and
a browser page that shows UTC to the millisecond on every animation frame. All three on the same
$DISPLAY, one after the other, each over 10 s after 3 s to settle; a figure is the processor time of
the program's whole session (every process it started) plus the display server's, as a share of one
core, the median of three turns. Prints NAME VALUE UNIT lines."""
import os
import pathlib
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SETTLE_S = 3
MEASURE_S = 10
TURNS = 3

PAGE = """<!doctype html><meta charset="utf-8"><title>UTC</title>
<body style="margin:0;background:#f0f0f0">
<div id="t" style="font:bold 40px sans-serif;padding:24px"></div>
<script>
const t = document.getElementById('t');
function frame() {
  t.textContent = new Date().toISOString().substring(11, 23).replace('.', ',') + ' UT';
  requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
</script>"""


def task_cpu_ns(pid):
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        return None
    return total


def session_pids(sid):
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (FileNotFoundError, ProcessLookupError):
            continue
        if int(fields[3]) == sid:  # the fields after the name: state, ppid, pgrp, session
            pids.append(int(entry))
    return pids


def cpu_of(pids):
    return {p: c for p in pids if (c := task_cpu_ns(p)) is not None}


def wait_window(name, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.2)
    raise SystemExit(f"side_by_side: no window named {name!r}")


def turn(argv, env, window_name, after_shown, xserver):
    proc = subprocess.Popen(argv, env=env, start_new_session=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = wait_window(window_name)
        after_shown(window)
        time.sleep(SETTLE_S)
        before = cpu_of(session_pids(proc.pid) + [xserver])
        t0 = time.monotonic()
        time.sleep(MEASURE_S)
        elapsed = time.monotonic() - t0
        after = cpu_of(list(before))
        if xserver not in after:
            raise SystemExit("side_by_side: the display server went away")
        used = sum(after[p] - before[p] for p in after)
        return 100.0 * used / 1e9 / elapsed
    finally:
        os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def main():
    tempix, xserver = sys.argv[1], int(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="tempix-side-", ignore_cleanup_errors=True) as folder:
        measure_all(tempix, xserver, pathlib.Path(folder))


def measure_all(tempix, xserver, work):
    # Everyone without the accessibility bridge and with settings of its own.
    env = dict(os.environ, NO_AT_BRIDGE="1", GTK_A11Y="none", GSK_RENDERER="cairo",
               GSETTINGS_BACKEND="keyfile", XDG_CONFIG_HOME=str(work / "config"),
               XDG_DATA_HOME=str(work / "data"), XDG_CACHE_HOME=str(work / "cache"))
    subprocess.run(["gsettings", "set", "org.gnome.clocks.state.window", "panel-id", "stopwatch"],
                   env=env, check=True)
    (work / "page.html").write_text(PAGE)
    program = work / "tempix"
    program.mkdir()
    shutil.copy(tempix, program / "Tempix")

    def start_stopwatch(window):
        subprocess.run(["xdotool", "windowactivate", "--sync", window], check=True)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "space"], check=True)

    subjects = {
        "tempix": ([str(program / "Tempix")], "GMT", lambda w: None),
        "stopwatch": (["dbus-run-session", "--", "gnome-clocks"], "Clocks", start_stopwatch),
        "browser_page": (["chromium", "--no-sandbox", "--disable-gpu", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update",
                          "--disable-sync", "--password-store=basic", "--window-size=500,200",
                          f"--user-data-dir={work / 'chromium'}",
                          f"--app=file://{work / 'page.html'}"], "UTC", lambda w: None),
    }
    runs = {name: [] for name in subjects}
    for _ in range(TURNS):
        for name, (argv, window_name, after_shown) in subjects.items():
            runs[name].append(turn(argv, env, window_name, after_shown, xserver))
    for name, values in runs.items():
        print(f"side_by_side_cpu_pct_{name} {statistics.median(values):.2f} %")


main()
