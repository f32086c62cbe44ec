#!/usr/bin/env python3
"""The longest gap between world states at one scripted agent while a second
socket floods simserver with datagrams, in a real-time or a fast match.

    bench/flood_gap.py SIMSERVER [--size BYTES] [--rate N] [--seconds S] [--fast]

--size 60000 sends datagrams longer than any client message; --size 2000
sends nested XML short enough to be read and parsed. --rate 0 floods as fast
as one thread can send.
"""
import argparse
import re
import socket
import subprocess
import tempfile
import threading
import time

REQUEST = (b"<connect><type>Client</type><protocol_version>1.0</protocol_version>"
           b"<nickname>GO</nickname><rc_id>1</rc_id><vt_id>1</vt_id></connect>")
WHEELS = b"<command><wheel_velocities><right>26.5</right><left>26.5</left></wheel_velocities></command>\0"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("simserver")
    ap.add_argument("--size", type=int, default=60000)
    ap.add_argument("--rate", type=float, default=0.0)
    ap.add_argument("--seconds", type=float, default=2.0)
    ap.add_argument("--fast", action="store_true")
    o = ap.parse_args()
    port = free_port()
    length = ["--fast", "--length", "20000"] if o.fast else ["--length", "8"]
    err = tempfile.TemporaryFile()
    srv = subprocess.Popen([o.simserver, "--port", str(port), "--wait", "1"] + length,
                           stdout=subprocess.PIPE, stderr=err, text=True)
    time.sleep(0.3)
    addr = ("127.0.0.1", port)
    agent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    agent.bind(("127.0.0.1", 0))
    agent.settimeout(0.01)
    agent.sendto(REQUEST, addr)
    stamps, stop = [], threading.Event()

    def answer():
        accepted = False
        while not stop.is_set():
            try:
                d, _ = agent.recvfrom(65536)
            except socket.timeout:
                continue
            if d.startswith(b"<connect>true"):
                accepted = True
            elif d.startswith(b"<connect>") and accepted:
                agent.sendto(b"<connect>true</connect>", addr)
            elif d.startswith(b"<worldData>"):
                stamps.append(time.monotonic())
                agent.sendto(WHEELS, addr)

    rx = threading.Thread(target=answer)
    rx.start()
    time.sleep(3.0)  # into the play
    flood = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    payload = b"<command><kick>" + b"<a>1</a>" * max(0, (o.size - 32) // 8) + b"</kick></command>"
    start, sent = time.monotonic(), 0
    while time.monotonic() - start < o.seconds:
        try:
            flood.sendto(payload, addr)
            sent += 1
        except OSError:
            pass
        if o.rate > 0:
            time.sleep(max(0.0, start + sent / o.rate - time.monotonic()))
    end = time.monotonic()
    time.sleep(1.0)
    stop.set()
    rx.join()
    srv.terminate()
    out, _ = srv.communicate(timeout=30)
    during = [t for t in stamps if start - 0.2 <= t <= end + 0.5]
    gaps = [b - a for a, b in zip(during, during[1:])]
    print(f"{sent} datagrams of {len(payload)} bytes in {end - start:.2f} s; {len(during)} world states; "
          f"longest gap {max(gaps) * 1000:.0f} ms" if gaps else "no world state during the flood")
    m = re.search(r"datagrams:.*", out)
    print(m.group(0) if m else "no summary")


if __name__ == "__main__":
    main()
