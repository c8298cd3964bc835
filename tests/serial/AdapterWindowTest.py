#!/usr/bin/python3
"""AdapterWindowTest.py EXE: the real serial-port window on an emulated USB adapter (umockdev, run
under umockdev-wrapper, in a D-Bus session of its own, under the test display). A board that the
system sees as a modem (cdc_acm, ttyACM0) is listed and named; Start says in plain words that it
never reports CTS, and nothing is opened. An FTDI beside it is listed too.
"""
import os
import subprocess
import sys
import time

import gi

gi.require_version("UMockdev", "1.0")
from gi.repository import GLib, UMockdev  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from atspi_app import fail, running  # noqa: E402

USB = "/devices/pci0000:00/0000:00:14.0/usb1"
TREE = f"""P: {USB}/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=2341
A: idProduct=0043
A: manufacturer=Arduino LLC
A: product=Arduino Uno

P: {USB}/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/cdc_acm

P: {USB}/1-1/1-1:1.0/tty/ttyACM0
L: device=../../../1-1:1.0
N: ttyACM0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyACM0

P: {USB}/1-2
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=0403
A: idProduct=6001
A: manufacturer=FTDI
A: product=FT232R USB UART

P: {USB}/1-2/1-2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: {USB}/1-2/1-2:1.0/ttyUSB0
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: {USB}/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0
L: device=../../../ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
"""
REFUSAL = "Adapter portu ttyACM0 nie zgłasza stanu linii CTS, więc nie przyjdzie z niego żaden pomiar."


def names(node, found, depth=0):
    """The accessible names of everything under `node`."""
    if node is None or depth > 14:
        return found
    try:
        if node.get_name():
            found.append(node.get_name())
        for i in range(node.get_child_count()):
            names(node.get_child_at_index(i), found, depth + 1)
    except GLib.Error:
        pass
    return found


def wait_for_name(app, wanted, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if any(wanted in name for name in names(app, [])):
            return True
        time.sleep(0.2)
    return False


def window(pid, title):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name", title],
                          capture_output=True, text=True).stdout.split()


def main():
    exe = sys.argv[1]
    testbed = UMockdev.Testbed.new()
    testbed.add_from_string(TREE)
    files = {"usercom.dat": b"ttyACM0\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n"}
    env = {"UMOCKDEV_DIR": testbed.get_root_dir(), "LD_PRELOAD": "libumockdev-preload.so.0"}
    with running(exe, files, env) as (program, _, app):
        main_window = window(program.pid, "GMT")
        if main_window:
            subprocess.run(["xdotool", "windowactivate", "--sync", main_window[0]], check=False)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "alt+t"], check=True)
        end = time.monotonic() + 10
        while not window(program.pid, "^Port ttyACM0") and time.monotonic() < end:
            time.sleep(0.2)
        if not window(program.pid, "^Port ttyACM0"):
            titles = [subprocess.run(["xdotool", "getwindowname", w], capture_output=True, text=True).stdout.strip()
                      for w in window(program.pid, ".")]
            fail("Alt+T opened no serial-port window on ttyACM0; the program's windows: %r (it ended with %r)"
                 % (titles, program.poll()))
        if not wait_for_name(app, "Arduino LLC Arduino Uno"):
            fail("the window does not name the adapter: %r" % names(app, []))
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "alt+s"], check=True)
        if not wait_for_name(app, REFUSAL):
            fail("Start did not say the adapter reports no CTS: %r" % names(app, []))
        if any("Z&atrzymaj" in n or "Zatrzymaj" in n for n in names(app, [])):
            fail("the port was opened")
        subprocess.run(["xdotool", "key", "Return"], check=True)
        print("adapter window ok: ttyACM0 named and refused at Start")


if __name__ == "__main__":
    main()
