#!/usr/bin/python3
"""private_kit.py: the desktop's real-time kit on a bus of its own, for tests and benchmarks run as
root. Starts a message bus open to every user in a temporary folder, a stand-in polkit authority on
it that grants every request (an ordinary user's process here has no login session for the real
polkit to judge), and the real rtkit-daemon with its own defaults. Prints the bus address once the
kit answers on it, then runs until its standard input closes or it is terminated, and stops what it
started by PID. Never touches the machine's own system bus.

Exit status 2 without a line printed: no rtkit-daemon, not root, or the kit did not come up."""
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from gi.repository import Gio, GLib

RTKIT = "/usr/libexec/rtkit-daemon"
KIT = "org.freedesktop.RealtimeKit1"
AUTHORITY_XML = """<node><interface name="org.freedesktop.PolicyKit1.Authority">
<method name="CheckAuthorization"><arg type="(sa{sv})" direction="in"/><arg type="s" direction="in"/>
<arg type="a{ss}" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
<arg type="(bba{ss})" direction="out"/></method></interface></node>"""


def connect(address):
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)


def call_bus(bus, method, args, reply):
    return bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                         args, GLib.VariantType(reply), Gio.DBusCallFlags.NONE, 2000, None).unpack()


def main():
    if os.geteuid() != 0 or not os.access(RTKIT, os.X_OK):
        return 2
    try:
        pwd.getpwnam("rtkit")  # the daemon drops to it
    except KeyError:
        return 2
    folder = tempfile.mkdtemp(prefix="tempix-kit-")
    os.chmod(folder, 0o755)  # the kit, once it has dropped to its user, and ordinary users connect
    socket = os.path.join(folder, "bus")
    with open(os.path.join(folder, "bus.conf"), "w") as conf:
        conf.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
                   ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                   f'<busconfig><type>session</type><listen>unix:path={socket}</listen><auth>EXTERNAL</auth>'
                   '<policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/>'
                   '<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n')
    started = []
    try:
        daemon = subprocess.Popen(["dbus-daemon", f"--config-file={folder}/bus.conf", "--nofork", "--print-address=1"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        started.append(daemon)
        address = daemon.stdout.readline().strip()
        if not address:
            return 2

        bus = connect(address)
        node = Gio.DBusNodeInfo.new_for_xml(AUTHORITY_XML)

        def authorize(connection, sender, path, interface, method, params, invocation):
            invocation.return_value(GLib.Variant("((bba{ss}))", ((True, False, {}),)))

        bus.register_object("/org/freedesktop/PolicyKit1/Authority", node.interfaces[0], authorize, None, None)
        call_bus(bus, "RequestName", GLib.Variant("(su)", ("org.freedesktop.PolicyKit1", 4)), "(u)")
        loop = GLib.MainLoop()
        threading.Thread(target=loop.run, daemon=True).start()

        # The daemon limits its own file size to nothing: its output goes nowhere rather than to a file.
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
        started.append(subprocess.Popen([RTKIT], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        client = connect(address)
        for _ in range(100):
            if call_bus(client, "NameHasOwner", GLib.Variant("(s)", (KIT,)), "(b)")[0]:
                break
            time.sleep(0.02)
        else:
            return 2
        print(address, flush=True)

        done = threading.Event()
        signal.signal(signal.SIGTERM, lambda *_: done.set())
        threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
        while not done.wait(0.5):
            pass
        return 0
    finally:
        for process in reversed(started):
            process.terminate()
            try:
                process.wait(timeout=3)
            except subprocess.TimeoutExpired:  # a daemon that does not end on its signal
                process.kill()
                process.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
