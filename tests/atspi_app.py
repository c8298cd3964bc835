"""atspi_app.py: what the tests that read the real program over AT-SPI share: a failure that ends
the test with its reason, and the program's accessible application found by its process id."""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def fail(what):
    print("FAIL: " + what, file=sys.stderr)
    sys.exit(1)


def find_app(pid, seconds=30):
    """The application with process id `pid` on the accessibility bus, once it shows there; None if it
    does not within `seconds`."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except GLib.Error:
                pass
        time.sleep(0.2)
    return None
