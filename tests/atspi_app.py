"""atspi_app.py: what the tests that read the real program over AT-SPI share: a failure that ends
the test with its reason, and the program started in a folder of its own with its accessible
application found by its process id."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
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


@contextlib.contextmanager
def running(exe, files=None, env=None):
    """The program copied into a folder of its own, with `files` (name: bytes) beside it, and started
    there under the C locale with the accessibility bridge on (and `env` added). Gives the process,
    the folder and its application; ends the program and removes the folder afterwards."""
    work = tempfile.mkdtemp()
    shutil.copy(exe, work)
    for name, data in (files or {}).items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    environment = dict(os.environ, LC_ALL="C", LANGUAGE="", GTK_MODULES="", **(env or {}))
    environment.pop("NO_AT_BRIDGE", None)
    program = subprocess.Popen([os.path.join(work, os.path.basename(exe))], cwd=work, env=environment,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        app = find_app(program.pid)
        if app is None:
            fail("the program never showed on the accessibility bus")
        yield program, work, app
    finally:
        program.terminate()
        program.wait()
        shutil.rmtree(work, ignore_errors=True)
