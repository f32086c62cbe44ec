"""The robots of a simulated server running on this machine, found by the
UDP port it listens on, so that a team can be checked against them before
its agents start."""
import os
import subprocess

LOCAL_HOSTS = ("127.0.0.1", "localhost", "::1")


def _socket_inodes(port: int) -> set:
    inodes = set()
    for table in ("/proc/net/udp", "/proc/net/udp6"):
        try:
            with open(table) as f:
                next(f, None)
                for line in f:
                    fields = line.split()
                    if len(fields) > 9 and int(fields[1].rsplit(":", 1)[1], 16) == port:
                        inodes.add(fields[9])
        except (OSError, ValueError, IndexError):
            continue
    return inodes


def find_server(port: int):
    """(executable, argv, cwd) of the simserver bound to `port` here, or None."""
    inodes = {f"socket:[{i}]" for i in _socket_inodes(port)}
    if not inodes:
        return None
    for pid in filter(str.isdigit, os.listdir("/proc")):
        base = f"/proc/{pid}"
        try:
            exe = os.readlink(f"{base}/exe")
            if not os.path.basename(exe).startswith("simserver"):
                continue
            if not any(os.readlink(f"{base}/fd/{fd}") in inodes for fd in os.listdir(f"{base}/fd")):
                continue
            with open(f"{base}/cmdline", "rb") as f:
                argv = [a.decode("utf-8", "replace") for a in f.read().split(b"\0") if a]
            return exe, argv, os.readlink(f"{base}/cwd")
        except OSError:
            continue
    return None


def server_robots(port: int):
    """{vt_id: (colour, nickname)} of the local simserver on `port`, or None when
    there is none (or it cannot be asked)."""
    found = find_server(port)
    if found is None:
        return None
    exe, argv, cwd = found
    ask = [exe, "--list-robots"]
    for i, arg in enumerate(argv[1:], 1):
        if arg == "--scenario" and i + 1 < len(argv):
            ask += ["--scenario", os.path.join(cwd, argv[i + 1])]
        elif arg.startswith("--scenario="):
            ask += ["--scenario", os.path.join(cwd, arg.partition("=")[2])]
    ask += [a for a in argv[1:] if a == "--5v5"]
    try:
        out = subprocess.run(ask, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=5,
                             check=True).stdout.decode("utf-8", "replace")
    except (OSError, subprocess.SubprocessError):
        return None
    robots = {}
    for line in out.splitlines():
        words = line.split()
        if len(words) >= 3 and words[0].lstrip("-").isdigit():
            robots[int(words[0])] = (words[1], words[2])
    return robots


def mismatches(team: list, robots: dict) -> dict:
    """Why the server would refuse each robot of `team`: {nickname: reason}."""
    why = {}
    for r in team:
        if r.vt_id not in robots:
            why[r.nickname] = f"the server has no robot with vt_id {r.vt_id}"
            continue
        colour, nick = robots[r.vt_id]
        if colour != r.colour or nick != r.nickname:
            why[r.nickname] = f"the server's robot {r.vt_id} is {colour} {nick}, not {r.colour} {r.nickname}"
    return why
