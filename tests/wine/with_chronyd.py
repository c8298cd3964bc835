#!/usr/bin/env python3
"""with_chronyd.py COMMAND...: runs COMMAND with a local chronyd answering on 127.0.0.1 at the port
given in TEMPIX_CHRONY_PORT. chronyd runs with -x (it never touches the clock), local stratum 8, no
upstream, and is stopped by its PID afterwards."""
import os
import socket
import subprocess
import sys
import tempfile
import time


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answering(port, seconds=15.0):
    request = bytearray(48)
    request[0] = 0x1B
    request[40] = 1
    deadline = time.monotonic() + seconds
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.1)
        while time.monotonic() < deadline:
            s.sendto(request, ("127.0.0.1", port))
            try:
                reply = s.recv(48)
                if len(reply) == 48 and (reply[0] >> 6) != 3:
                    return True
            except OSError:
                pass
            time.sleep(0.1)
    return False


def main():
    with tempfile.TemporaryDirectory(prefix="tempix-chrony-") as d:
        port = free_udp_port()
        conf = os.path.join(d, "chrony.conf")
        with open(conf, "w") as f:
            f.write(f"port {port}\nbindaddress 127.0.0.1\nlocal stratum 8\nallow 127.0.0.1\ncmdport 0\n"
                    f"pidfile {d}/chronyd.pid\ndriftfile {d}/drift\n")
        argv = ["chronyd", "-x", "-d", "-f", conf]
        if os.geteuid() == 0:
            argv += ["-u", "root"]
        with open(os.path.join(d, "chronyd.log"), "w") as log:
            chronyd = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT)
        try:
            env = dict(os.environ)
            if answering(port):
                env["TEMPIX_CHRONY_PORT"] = str(port)
            else:
                print("with_chronyd: chronyd did not answer; the exchange test will skip", file=sys.stderr)
                print(open(os.path.join(d, "chronyd.log")).read(), file=sys.stderr)
            return subprocess.call(sys.argv[1:], env=env)
        finally:
            chronyd.terminate()
            chronyd.wait()


if __name__ == "__main__":
    sys.exit(main())
