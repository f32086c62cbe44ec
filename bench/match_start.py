#!/usr/bin/env python3
"""A fast match started by `lab play --fast` against the same match started
directly (the server, then one agent per robot in folders written beforehand):
wall time and processor time of each, and what the launcher adds.

    bench/match_start.py BUILD_DIR [--runs N] [--length S] [--5v5]
"""
import argparse
import os
import re
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, ROOT)
from lab.props import SettingsFile  # noqa: E402


def children_cpu() -> float:
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def free_port() -> int:
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def play(build: str, args, out: str):
    env = dict(os.environ, SOCCER_BUILD_DIR=build)
    argv = [sys.executable, os.path.join(ROOT, "scripts", "lab"), "play", "--fast", "--seed", "7",
            "--length", str(args.length), "--dir", out] + (["--5v5"] if args.five else [])
    cpu, t = children_cpu(), time.monotonic()
    subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.monotonic() - t, children_cpu() - cpu


def direct(build: str, args, template_run: str, out: str):
    """The same match with the folders of `template_run`, told another port."""
    port = free_port()
    folders = []
    for name in sorted(os.listdir(template_run)):
        src = os.path.join(template_run, name)
        if re.fullmatch(r"\d+-(yellow|blue)-.+", name) and os.path.isdir(src):
            dst = os.path.join(out, name)
            os.makedirs(dst)
            shutil.copy(os.path.join(src, "velocidade.ini"), dst)
            cfg = SettingsFile.load(os.path.join(src, "config.ini"))
            cfg.set("PORT_TEAM", str(port))
            with open(os.path.join(dst, "config.ini"), "w") as f:
                f.write(cfg.text())
            folders.append((dst, "agent"))
    scenario = os.path.join(ROOT, "config", "scenario-5v5.ini" if args.five else "scenario-3v3.ini")
    server_argv = [os.path.join(build, "simserver"), "--scenario", scenario, "--port", str(port),
                   "--length", str(args.length), "--fast", "--seed", "7", "--noise-dist", "1",
                   "--noise-angle", "0.2", "--summary", os.path.join(out, "summary.json"),
                   "--record", os.path.join(out, "record.jsonl"), "--page", os.path.join(out, "match.html")]
    cpu, t = children_cpu(), time.monotonic()
    log = open(os.path.join(out, "server.log"), "wb")
    server = subprocess.Popen(server_argv, stdout=subprocess.DEVNULL, stderr=log)
    while b"listening on" not in open(os.path.join(out, "server.log"), "rb").read():
        time.sleep(0.002)
    agents = [subprocess.Popen([os.path.join(build, program)], cwd=folder, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL) for folder, program in folders]
    server.wait()
    for a in agents:
        a.wait()
    log.close()
    return time.monotonic() - t, children_cpu() - cpu


def main() -> int:
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("build")
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--length", type=float, default=60)
    p.add_argument("--5v5", dest="five", action="store_true")
    args = p.parse_args()
    build = os.path.abspath(args.build)
    work = tempfile.mkdtemp(prefix="match-start-")
    try:
        template = os.path.join(work, "template")
        play(build, args, template)
        lab, bare = [], []
        for i in range(args.runs):
            lab.append(play(build, args, os.path.join(work, f"lab{i}")))
            bare.append(direct(build, args, template, os.path.join(work, f"direct{i}")))
        for name, runs in (("direct", bare), ("lab play --fast", lab)):
            print(f"{name:16} wall {statistics.median(w for w, _ in runs):.3f} s, "
                  f"cpu {statistics.median(c for _, c in runs):.3f} s (median of {args.runs})")
        ratio = statistics.median(w for w, _ in lab) / statistics.median(w for w, _ in bare)
        best = min(w for w, _ in lab) / min(w for w, _ in bare)
        # The best runs say what the launcher costs; the medians include the machine's other load.
        print(f"wall time of lab play against the direct start: {ratio:.2f}x (medians), {best:.2f}x (best runs)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
