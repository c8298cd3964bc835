#!/usr/bin/python3
"""AccessibilityTest.py EXE: what a screen reader hears of the real program's time displays, over
AT-SPI (run it inside a D-Bus session of its own: dbus-run-session, under the test display).

- The live display's accessible name is its current time, read twice 200 ms apart and different,
  and it raises no name change meanwhile: a screen reader is not told of every frame.
- The stopped-time display's name is the captured time: Enter captures, its name becomes the
  record's time, and one name change is raised for it.
"""
import os
import re
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from atspi_app import fail, running  # noqa: E402

TIME = re.compile(r"^\d\d:\d\d:\d\d,\d{3} UT$")


def pump(seconds):
    """Runs the main loop for a while, so that events reach their listeners."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.01)


def time_labels(node, found, depth=0):
    """Every label whose name is a time text, in the order of the tree."""
    if node is None or depth > 12:
        return found
    try:
        if node.get_role() == Atspi.Role.LABEL and TIME.match(node.get_name() or ""):
            found.append(node)
        for i in range(node.get_child_count()):
            time_labels(node.get_child_at_index(i), found, depth + 1)
    except GLib.Error:
        pass
    return found


def main():
    with running(sys.argv[1]) as (program, work, app):
        labels = []
        end = time.monotonic() + 10
        while len(labels) < 2 and time.monotonic() < end:
            labels = time_labels(app, [])
            time.sleep(0.2)
        if len(labels) < 2:
            fail("%d time displays seen by assistive technology" % len(labels))
        live, stopped = labels[0], labels[1]

        changes = []

        def on_change(event):
            if event.source in (live, stopped):
                changes.append((event.source == live, event.source.get_name()))

        listener = Atspi.EventListener.new(on_change)
        listener.register("object:property-change:accessible-name")
        pump(0.3)

        first = live.get_name()
        pump(0.2)
        second = live.get_name()
        if not TIME.match(second) or first == second:
            fail("the live display read %r, then %r 200 ms later" % (first, second))
        if any(is_live for is_live, _ in changes):
            fail("the live display raised %d name changes" % sum(1 for c in changes if c[0]))

        if stopped.get_name() != "00:00:00,000 UT":
            fail("before a capture the stopped time reads %r" % stopped.get_name())
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.pid), "--name", "GMT"],
                                capture_output=True, text=True).stdout.split()
        if window:
            subprocess.run(["xdotool", "windowactivate", "--sync", window[0]], check=False)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "Return"], check=True)
        log = os.path.join(work, "time.txt")
        end = time.monotonic() + 5
        while (not os.path.exists(log) or os.path.getsize(log) < 35) and time.monotonic() < end:
            pump(0.05)
        if not os.path.exists(log) or os.path.getsize(log) < 35:
            fail("Enter captured nothing")
        with open(log, "rb") as f:
            record = f.read(35).decode("cp1250")[3:18]
        pump(0.5)
        if stopped.get_name() != record:
            fail("the stopped time reads %r, the record %r" % (stopped.get_name(), record))
        told = [name for is_live, name in changes if not is_live]
        if told != [record]:
            fail("the capture raised the name changes %r" % told)
        listener.deregister("object:property-change:accessible-name")
        print("accessibility ok: the live display reads %s, the stopped %s" % (second, record))


if __name__ == "__main__":
    main()
