#!/usr/bin/env python3
"""pty_com.py COMMAND...: runs COMMAND (a Windows test under wine) with a pseudo-terminal of its own
mapped as COM40 in the project's wine prefix. TEMPIX_TEST_COM names the port; bytes the test puts in
the file TEMPIX_PTY_SEND (a Windows path) are written into the pty's master side, and the file is
removed to say so. The pty gets a CTS line (tests/wine/modem_lines.c, preloaded into wine): the test
writes its schedule into the file TEMPIX_PTY_LINES (a Windows path). No other device is mapped or
opened."""
import os
import pathlib
import pty
import shutil
import subprocess
import sys
import tempfile
import threading
import tty

COM = "COM40"


def wine_prefix():
    root = pathlib.Path(__file__).resolve().parents[2]
    return pathlib.Path(os.environ.get("TEMPIX_WINEPREFIX", root / "build-win" / "wineprefix"))


def main():
    master, slave = pty.openpty()
    tty.setraw(slave)  # no echo, no line editing: bytes pass as they are
    dosdevices = wine_prefix() / "dosdevices"
    dosdevices.mkdir(parents=True, exist_ok=True)
    link = dosdevices / COM.lower()
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(os.ttyname(slave))
    stop = threading.Event()
    with tempfile.TemporaryDirectory(prefix="tempix-pty-") as d:
        send = os.path.join(d, "send")
        lines = os.path.join(d, "lines")
        shim = os.path.join(d, "modem_lines.so")
        source = pathlib.Path(__file__).with_name("modem_lines.c")
        cc = shutil.which("cc") or shutil.which("gcc")
        subprocess.run([cc, "-shared", "-fPIC", "-O2", "-o", shim, str(source), "-ldl"], check=True)

        def feed():
            while not stop.wait(0.005):
                if os.path.exists(send):
                    with open(send, "rb") as f:
                        data = f.read()
                    os.write(master, data)
                    os.remove(send)

        feeder = threading.Thread(target=feed, daemon=True)
        feeder.start()
        env = dict(os.environ)
        env["TEMPIX_TEST_COM"] = COM
        env["TEMPIX_PTY_SEND"] = "Z:" + send.replace("/", "\\")
        env["TEMPIX_PTY_LINES"] = "Z:" + lines.replace("/", "\\")
        env["TEMPIX_LINES_FILE"] = lines
        env["TEMPIX_LINES_TTY"] = os.ttyname(slave)
        env["LD_PRELOAD"] = " ".join(filter(None, [shim, env.get("LD_PRELOAD")]))
        try:
            return subprocess.call(sys.argv[1:], env=env)
        finally:
            stop.set()
            feeder.join()
            link.unlink()
            os.close(master)
            os.close(slave)


if __name__ == "__main__":
    sys.exit(main())
